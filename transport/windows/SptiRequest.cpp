#include "transport/windows/SptiRequest.h"

#include <algorithm>

#include "core/Bytes.h"
#include "transport/windows/PointerField.h"

namespace flashtool {

uint8_t SptiDataInValue(DataDirection direction) {
    switch (NormalisedDirection(direction)) {
        case DataDirection::In:
            return kSptiDataIn;
        case DataDirection::Out:
            return kSptiDataOut;
        case DataDirection::None:
            break;
    }
    return kSptiDataUnspecified;
}

bool BuildSptiRequest(const SptiLayout& layout, const SptiCommand& command,
                      std::span<uint8_t> block) {
    const bool addressFits = FitsPointerField(layout.pointerSize, command.dataBuffer);
    if (block.size() < layout.requestSize || command.cdb.size() > kSptiCdbCapacity ||
        !addressFits) {
        return false;
    }
    std::fill_n(block.begin(), layout.requestSize, uint8_t{0});
    StoreLittleEndian16(block, kSptiLengthOffset, static_cast<uint16_t>(layout.headerLength));
    block[kSptiPathIdOffset] = command.pathId;
    block[kSptiTargetIdOffset] = command.targetId;
    block[kSptiLunOffset] = 0;
    block[kSptiCdbLengthOffset] = static_cast<uint8_t>(command.cdb.size());
    block[kSptiSenseInfoLengthOffset] = static_cast<uint8_t>(kSptiSenseLength);
    block[kSptiDataInOffset] = SptiDataInValue(command.direction);
    StoreLittleEndian32(block, kSptiDataTransferLengthOffset, command.length);
    StoreLittleEndian32(block, kSptiTimeOutValueOffset, command.timeoutSeconds);
    StorePointerField(block, layout.dataBufferOffset, layout.pointerSize, command.dataBuffer);
    StoreLittleEndian32(block, layout.senseInfoOffsetField, layout.senseOffset);
    std::copy(command.cdb.begin(), command.cdb.end(),
              block.begin() + static_cast<std::ptrdiff_t>(layout.cdbOffset));
    return true;
}

}  // namespace flashtool
