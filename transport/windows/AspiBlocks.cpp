#include "transport/windows/AspiBlocks.h"

#include <algorithm>

#include "core/Bytes.h"
#include "transport/windows/PointerField.h"

namespace flashtool {

std::array<uint8_t, kHaInquirySize> HaInquiryBlock(uint8_t adapter) {
    std::array<uint8_t, kHaInquirySize> block{};
    block[kSrbCmdOffset] = kScHaInquiry;
    block[kSrbHaIdOffset] = adapter;
    return block;
}

std::array<uint8_t, kGetDevTypeSize> GetDevTypeBlock(uint8_t adapter, uint8_t target) {
    std::array<uint8_t, kGetDevTypeSize> block{};
    block[kSrbCmdOffset] = kScGetDevType;
    block[kSrbHaIdOffset] = adapter;
    block[kGdevTargetOffset] = target;
    block[kGdevLunOffset] = 0;
    return block;
}

uint8_t TargetsToProbe(std::span<const uint8_t, kHaInquirySize> haInquiry) {
    const uint8_t reported = haInquiry[kHaUniqueOffset + 3];
    return reported == 8 || reported == 16 ? reported : 8;
}

uint8_t AspiDirectionFlags(DataDirection direction) {
    switch (NormalisedDirection(direction)) {
        case DataDirection::In:
            return kSrbDirIn;
        case DataDirection::Out:
            return kSrbDirOut;
        case DataDirection::None:
            break;
    }
    return 0;
}

bool BuildExecBlock(const AspiExecLayout& layout, const AspiCommand& command,
                    std::span<uint8_t> block) {
    if (block.size() < layout.size || command.cdb.size() > kExecCdbCapacity ||
        !FitsPointerField(layout.pointerSize, command.buffer) ||
        !FitsPointerField(layout.pointerSize, command.postProc)) {
        return false;
    }
    std::fill_n(block.begin(), layout.size, uint8_t{0});
    block[kSrbCmdOffset] = kScExecScsiCmd;
    block[kSrbHaIdOffset] = command.adapter;
    block[kSrbFlagsOffset] = command.flags;
    block[kExecTargetOffset] = command.target;
    block[kExecLunOffset] = 0;
    StoreLittleEndian32(block, kExecBufLenOffset, command.length);
    StorePointerField(block, kExecBufPointerOffset, layout.pointerSize, command.buffer);
    block[layout.senseLenOffset] = kExecSenseLength;
    block[layout.cdbLenOffset] = static_cast<uint8_t>(command.cdb.size());
    StorePointerField(block, layout.postProcOffset, layout.pointerSize, command.postProc);
    std::copy(command.cdb.begin(), command.cdb.end(),
              block.begin() + static_cast<std::ptrdiff_t>(layout.cdbOffset));
    return true;
}

}  // namespace flashtool
