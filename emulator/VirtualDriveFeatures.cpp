// What an MMC drive says about its abilities and its medium: GET CONFIGURATION (the feature
// header with the current profile, then the profile list, core, morphing and removable
// medium features, every one of them current) and READ CAPACITY. A disc in the tray is a
// pressed single-layer DVD; with none, the current profile is none and READ CAPACITY
// reports NOT READY, MEDIUM NOT PRESENT, as TEST UNIT READY does.
//
// A writer lists the profiles of a DVD writer of its time; a reader (DVD-ROM) only the two
// read-only ones. Desktop programs that probe a new optical drive ask these first.

#include <algorithm>
#include <vector>

#include "emulator/VirtualDrive.h"

namespace flashtool {

namespace {

constexpr uint16_t kProfileNone = 0x0000;
constexpr uint16_t kProfileCdRom = 0x0008;
constexpr uint16_t kProfileDvdRom = 0x0010;
// Highest first, as drives list them.
constexpr uint16_t kWriterProfiles[] = {0x001B, 0x001A, 0x0014, 0x0013, 0x0012,
                                        0x0011, 0x0010, 0x000A, 0x0009, 0x0008};
constexpr uint16_t kReaderProfiles[] = {kProfileDvdRom, kProfileCdRom};

// Request type (CDB byte 1): 0 every feature, 1 the current ones (the same here, since
// every feature is current), 2 the one the starting feature number names, 3 reserved.
constexpr uint8_t kRequestOne = 0x02;

constexpr uint32_t kDvdBlocks = 2'295'104;  // a single-layer DVD
constexpr uint32_t kDvdBlockLength = 2048;

uint8_t CdbByte(const ScsiRequest& request, size_t index) {
    return index < request.cdb.size() ? request.cdb[index] : 0;
}

void Append16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
    Append16(out, value >> 16);
    Append16(out, value & 0xFFFF);
}

struct Feature {
    uint16_t code;
    uint8_t version;
    std::vector<uint8_t> data;
};

// Every feature this drive has is persistent and current: none depends on the medium.
std::vector<Feature> Features(std::span<const uint16_t> profiles, uint16_t current) {
    std::vector<uint8_t> list;
    for (const uint16_t profile : profiles) {
        Append16(list, profile);
        list.push_back(profile == current ? 0x01 : 0x00);  // CurrentP
        list.push_back(0x00);
    }
    return {
        {0x0000, 0, list},                                              // profile list
        {0x0001, 2, {0x00, 0x00, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00}},  // core: ATAPI, DBE
        {0x0002, 1, {0x02, 0x00, 0x00, 0x00}},  // morphing: OCEvent, polled (no Async)
        {0x0003, 0, {0x29, 0x00, 0x00, 0x00}},  // removable medium: tray, eject, lock
    };
}

}  // namespace

PassThroughOutcome VirtualDrive::GetConfiguration(const ScsiRequest& request) const {
    const uint8_t requestType = CdbByte(request, 1) & 0x03;
    if (requestType > kRequestOne) {
        return PassThroughOutcome::CheckCondition(sense::kInvalidField);
    }
    const uint16_t starting =
        static_cast<uint16_t>((CdbByte(request, 2) << 8) | CdbByte(request, 3));
    const uint16_t current = discPresent ? kProfileDvdRom : kProfileNone;
    std::vector<uint8_t> reply(4, 0);  // the data length, filled in last
    Append16(reply, 0);                // reserved
    Append16(reply, current);
    const auto profiles = reader ? std::span<const uint16_t>(kReaderProfiles)
                                 : std::span<const uint16_t>(kWriterProfiles);
    for (const Feature& feature : Features(profiles, current)) {
        const bool wanted =
            requestType == kRequestOne ? feature.code == starting : feature.code >= starting;
        if (!wanted) {
            continue;
        }
        Append16(reply, feature.code);
        reply.push_back(static_cast<uint8_t>(feature.version << 2 | 0x02 | 0x01));
        reply.push_back(static_cast<uint8_t>(feature.data.size()));
        reply.insert(reply.end(), feature.data.begin(), feature.data.end());
    }
    // The data length counts what follows it, whatever the allocation length lets through.
    const uint32_t length = static_cast<uint32_t>(reply.size() - 4);
    for (size_t i = 0; i < 4; ++i) {
        reply[i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    }
    const size_t allocation = (size_t{CdbByte(request, 7)} << 8) | CdbByte(request, 8);
    return ReplyWith(request, std::span(reply).first(std::min(allocation, reply.size())));
}

PassThroughOutcome VirtualDrive::ReadCapacity(const ScsiRequest& request) const {
    if (!discPresent) {
        return PassThroughOutcome::CheckCondition(sense::kMediumNotPresent);
    }
    std::vector<uint8_t> reply;
    Append32(reply, kDvdBlocks - 1);  // the last block's address
    Append32(reply, kDvdBlockLength);
    return ReplyWith(request, reply);
}

}  // namespace flashtool
