#include "drive/ReadOnlyCommands.h"

#include <algorithm>

#include "drive/VendorCdbs.h"
#include "transport/Inquiry.h"

namespace flashtool {

namespace {

template <size_t N>
constexpr std::array<uint8_t, 12> Padded(const std::array<uint8_t, N>& cdb) {
    std::array<uint8_t, 12> out{};
    std::copy(cdb.begin(), cdb.end(), out.begin());
    return out;
}

constexpr uint16_t kAllocationByte4 = 1u << 4;

// INQUIRY as the scan and the model check send it: standard data (no vital product page),
// any allocation length; and the unit serial number page, exactly as the recorder asks it.
constexpr std::array<ReadOnlyCommand, 6> kReadOnlyCommands = {{
    {"INQUIRY", DataDirection::In, Padded(InquiryCdb(0)), kAllocationByte4},
    {"INQUIRY unit serial number page", DataDirection::In,
     Padded(InquiryVpdCdb(kVpdUnitSerialNumber, kSerialNumberAllocation))},
    {"TEST UNIT READY", DataDirection::None, Padded(TestUnitReadyCdb())},
    {"MODE SENSE(10) capabilities page", DataDirection::In, Padded(ModeSenseCapabilitiesCdb())},
    {"model record read at 24", DataDirection::In,
     Padded(ModelRecordReadCdb(kModelRecordSecondary))},
    {"model record read at 02", DataDirection::In, Padded(ModelRecordReadCdb(kModelRecordPrimary))},
}};

bool Matches(const ReadOnlyCommand& entry, std::span<const uint8_t> cdb) {
    if (cdb.empty() || cdb[0] != entry.cdb[0] || cdb.size() != CdbLength(cdb[0])) {
        return false;
    }
    for (size_t i = 0; i < cdb.size(); ++i) {
        if ((entry.freeBytes & (1u << i)) == 0 && cdb[i] != entry.cdb[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::span<const ReadOnlyCommand> ReadOnlyCommands() {
    return kReadOnlyCommands;
}

const ReadOnlyCommand* FindReadOnlyCommand(std::span<const uint8_t> cdb, DataDirection direction) {
    const DataDirection normalised = NormalisedDirection(direction);
    const auto found = std::find_if(kReadOnlyCommands.begin(), kReadOnlyCommands.end(),
                                    [&](const ReadOnlyCommand& entry) {
                                        return entry.direction == normalised && Matches(entry, cdb);
                                    });
    return found == kReadOnlyCommands.end() ? nullptr : &*found;
}

}  // namespace flashtool
