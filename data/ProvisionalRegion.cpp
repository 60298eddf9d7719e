// Provisional stand-in for the packed region until the build packs the real one: only this
// build's configuration block, no payload. It does not verify.

#include <array>

#include "data/EmbeddedRegion.h"

namespace flashtool {

namespace {
constexpr std::array<uint8_t, 64> MakeConfig() {
    std::array<uint8_t, 64> bytes{};
    constexpr char kKey[] = "TARN2";
    constexpr char kTarget[] = "ORIN    DVD RW QV-5500A ";
    constexpr char kRevision[] = "1.0e";
    constexpr char kFamily[] = "KM7240";
    constexpr char kPattern[] = "QZ*.**";
    for (size_t i = 0; i < 5; ++i) bytes[i] = static_cast<uint8_t>(kKey[i]);
    for (size_t i = 0; i < 24; ++i) bytes[8 + i] = static_cast<uint8_t>(kTarget[i]);
    for (size_t i = 0; i < 4; ++i) bytes[32 + i] = static_cast<uint8_t>(kRevision[i]);
    for (size_t i = 0; i < 6; ++i) bytes[38 + i] = static_cast<uint8_t>(kFamily[i]);
    for (size_t i = 0; i < 6; ++i) bytes[48 + i] = static_cast<uint8_t>(kPattern[i]);
    return bytes;
}
constexpr std::array<uint8_t, 64> kRegion = MakeConfig();
}  // namespace

std::span<const uint8_t> EmbeddedStoredRegion() { return kRegion; }

}  // namespace flashtool
