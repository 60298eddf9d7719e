#pragma once

// The 64-byte block that makes a build specific, and the 14-byte record that describes the
// second payload of a dual-layout image. Both are stored byte for byte in the program (the
// stored region's sums cover them), so they are kept as bytes and read through typed,
// bounds-safe accessors. Numbers are little-endian.
//
//   offset size field
//    0     8   build key: "TARN", the transfer method digit, zeros
//    8    24   target identification (INQUIRY vendor + product), blank-padded; "*" first
//              makes a wildcard build
//   32     4   new firmware revision
//   36     2   zero
//   38     8   family code, zero-padded (read with the 2 zero bytes after it as 10)
//   46     2   zero
//   48     8   revision pattern: 2 brand letters, 4 pattern characters, zeros
//   56     2   expected linear sum of payload A (or the only payload)
//   58     2   expected rotated sum of the same
//   60     4   size of payload A in bytes

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace flashtool {

constexpr size_t kBuildConfigSize = 64;
constexpr size_t kPayloadHeaderSize = 14;

class BuildConfig {
public:
    BuildConfig() = default;  // all zero
    explicit BuildConfig(const std::array<uint8_t, kBuildConfigSize>& bytes) : bytes(bytes) {}
    // The first 64 bytes of `stored`; nothing when it is shorter.
    static std::optional<BuildConfig> FromBytes(std::span<const uint8_t> stored);

    const std::array<uint8_t, kBuildConfigSize>& Bytes() const { return bytes; }

    std::string_view BuildKey() const { return Field(0, 8); }
    char TransferMethodDigit() const { return static_cast<char>(bytes[4]); }
    std::string_view TargetId() const { return Field(8, 24); }
    bool IsWildcard() const { return bytes[8] == '*'; }
    std::string_view NewRevision() const { return Field(32, 4); }
    std::string_view FamilyCode() const { return Field(38, 8); }
    // The family field read with the two zero bytes after it, as some rules compare 10.
    std::string_view FamilyCode10() const { return Field(38, 10); }
    // The family code up to its first zero byte.
    std::string_view FamilyText() const;
    std::string_view RevisionPattern() const { return Field(48, 8); }
    std::string_view BrandLetters() const { return Field(48, 2); }
    std::string_view PatternCharacters() const { return Field(50, 4); }
    uint16_t ExpectedLinear() const;
    uint16_t ExpectedRotated() const;
    uint32_t ImageSize() const;

private:
    std::string_view Field(size_t offset, size_t size) const {
        return std::string_view(reinterpret_cast<const char*>(bytes.data()) + offset, size);
    }

    std::array<uint8_t, kBuildConfigSize> bytes{};
};

// The record stored right after BuildConfig in the dual layout; it describes payload B.
//   0  6  version text, zero-filled
//   6  2  expected linear sum of payload B
//   8  2  expected rotated sum of payload B
//  10  4  size of payload B in bytes (0 makes the stored region invalid)
class PayloadHeader {
public:
    PayloadHeader() = default;
    explicit PayloadHeader(const std::array<uint8_t, kPayloadHeaderSize>& bytes) : bytes(bytes) {}
    static std::optional<PayloadHeader> FromBytes(std::span<const uint8_t> record);

    const std::array<uint8_t, kPayloadHeaderSize>& Bytes() const { return bytes; }
    std::string_view Version() const {
        return std::string_view(reinterpret_cast<const char*>(bytes.data()), 6);
    }
    uint16_t ExpectedLinear() const;
    uint16_t ExpectedRotated() const;
    uint32_t ImageSize() const;

private:
    std::array<uint8_t, kPayloadHeaderSize> bytes{};
};

enum class BrandCode : int { WV = 10, FG = 20, QZ = 30, XJ = 40, Other = 90 };

// From the two brand letters of the revision pattern, compared upper-cased.
BrandCode DeriveBrandCode(std::string_view revisionPattern);

// True when the build key begins with "TARN"; the digit after it only picks the method.
bool IsMakerBuild(std::string_view buildKey);

// The digits after "TARN" that name a transfer method a run knows; with any other digit a
// run stops before it sends anything.
constexpr char kFirstMethodDigit = '0';
constexpr char kLastMethodDigit = '4';
constexpr bool IsTransferMethodDigit(char digit) {
    return digit >= kFirstMethodDigit && digit <= kLastMethodDigit;
}

// How the image travels to the drive; the build key's digit names one (its value).
enum class TransferMethod : uint8_t {
    BufferWriteReadBack = 0,  // buffer writes, each page read back and compared
    SignedPages = 1,          // page commands signed with the page's and the image's sums
    SummedPages = 2,          // page commands carrying the image's sums, after the pre-steps
    Blocks = 3,               // 4,096-byte blocks, each followed by its sum
    SegmentedWrite = 4,       // buffer writes in 64 KiB segments, read back and compared
};

// The method a key digit names; nothing for a digit that names none.
constexpr std::optional<TransferMethod> TransferMethodOf(char digit) {
    if (!IsTransferMethodDigit(digit)) {
        return std::nullopt;
    }
    return static_cast<TransferMethod>(digit - kFirstMethodDigit);
}

}  // namespace flashtool
