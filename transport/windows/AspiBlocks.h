#pragma once

// The ASPI request blocks, byte by byte. They are declared by the ASPI layer with 1-byte
// packing: every field sits right after the one before. Three blocks are used:
//   SRB_HAInquiry    60 bytes: one host adapter's description
//   SRB_GDEVBlock    12 bytes: the device type of one target
//   SRB_ExecSCSICmd  64 bytes of request and a 16-byte sense area (80 bytes in a 32-bit
//                    build); its data pointer and completion event are pointer-sized, so a
//                    64-bit build's block is 8 bytes longer and its later fields move.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "transport/ScsiTypes.h"

namespace flashtool {

// The header every block starts with.
constexpr size_t kSrbCmdOffset = 0;
constexpr size_t kSrbStatusOffset = 1;
constexpr size_t kSrbHaIdOffset = 2;
constexpr size_t kSrbFlagsOffset = 3;

constexpr uint8_t kScHaInquiry = 0x00;
constexpr uint8_t kScGetDevType = 0x01;
constexpr uint8_t kScExecScsiCmd = 0x02;

// SRB_Status and the support-info status.
constexpr uint8_t kSsPending = 0x00;
constexpr uint8_t kSsComp = 0x01;
constexpr uint8_t kSsErr = 0x04;
constexpr uint8_t kSsNoAdapters = 0xE8;

constexpr uint8_t kSrbDirIn = 0x08;
constexpr uint8_t kSrbDirOut = 0x10;
constexpr uint8_t kSrbEventNotify = 0x40;
constexpr uint8_t kHaStatTimeout = 0x09;
constexpr uint8_t kDeviceTypeCdrom = 5;

// SRB_HAInquiry.
constexpr size_t kHaInquirySize = 60;
constexpr size_t kHaUniqueOffset = 42;  // 16 bytes; byte 3 is the number of targets
// SRB_GDEVBlock.
constexpr size_t kGetDevTypeSize = 12;
constexpr size_t kGdevTargetOffset = 8;
constexpr size_t kGdevLunOffset = 9;
constexpr size_t kGdevDeviceTypeOffset = 10;

std::array<uint8_t, kHaInquirySize> HaInquiryBlock(uint8_t adapter);
std::array<uint8_t, kGetDevTypeSize> GetDevTypeBlock(uint8_t adapter, uint8_t target);
// The targets to probe on an adapter: HA_Unique byte 3 when it says 8 or 16, else 8.
uint8_t TargetsToProbe(std::span<const uint8_t, kHaInquirySize> haInquiry);

// SRB_ExecSCSICmd.
constexpr size_t kExecTargetOffset = 8;
constexpr size_t kExecLunOffset = 9;
constexpr size_t kExecBufLenOffset = 12;  // 32-bit
constexpr size_t kExecBufPointerOffset = 16;
constexpr size_t kExecCdbCapacity = 16;
constexpr size_t kExecSenseAreaLength = 16;  // SENSE_LEN and two more bytes
constexpr uint8_t kExecSenseLength = 14;     // what SRB_SenseLen asks for

struct AspiExecLayout {
    size_t pointerSize;
    size_t senseLenOffset;
    size_t cdbLenOffset;
    size_t haStatOffset;
    size_t targStatOffset;
    size_t postProcOffset;
    size_t cdbOffset;
    size_t senseOffset;
    size_t size;
};

constexpr AspiExecLayout AspiExecLayoutFor(size_t pointerSize) {
    const size_t senseLen = kExecBufPointerOffset + pointerSize;
    const size_t postProc = senseLen + 4;
    const size_t cdb = postProc + pointerSize + 20;  // then 20 reserved bytes
    return AspiExecLayout{pointerSize,
                          senseLen,
                          senseLen + 1,
                          senseLen + 2,
                          senseLen + 3,
                          postProc,
                          cdb,
                          cdb + kExecCdbCapacity,
                          cdb + kExecCdbCapacity + kExecSenseAreaLength};
}

inline constexpr AspiExecLayout kNativeAspiExecLayout = AspiExecLayoutFor(sizeof(void*));
constexpr size_t kAspiExecMaxSize = AspiExecLayoutFor(8).size;

struct AspiCommand {
    uint8_t adapter = 0;
    uint8_t target = 0;
    uint8_t flags = 0;
    std::span<const uint8_t> cdb;  // at most 16 bytes
    uint32_t length = 0;
    uint64_t buffer = 0;    // the caller's buffer address
    uint64_t postProc = 0;  // the completion event, or 0
};

// Direction flags of a command: In 0x08, Out 0x10, None 0.
uint8_t AspiDirectionFlags(DataDirection direction);

// Zero-fills the first layout.size bytes of `block` and writes every field. False, with
// nothing written, when the block is too small, the CDB longer than 16 bytes or an address
// wider than the layout's pointer.
bool BuildExecBlock(const AspiExecLayout& layout, const AspiCommand& command,
                    std::span<uint8_t> block);

}  // namespace flashtool
