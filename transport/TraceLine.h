#pragma once

// One command as a trace line, the same for every program that prints one (the emulated
// program, the real program's --trace, the real-kernel rig's back-end), so that traces from
// either side of a real system can be compared line by line:
//   vdrive N: CDB-HEX | DIR LEN crc32=XXXXXXXX | RESULT
// RESULT is "ok", "timedout", or "failed K/AA" (sense key and code, "0/00" for none).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "transport/ScsiTypes.h"

namespace flashtool {

struct TraceEntry {
    std::vector<uint8_t> cdb;  // the bytes actually sent
    DataDirection direction = DataDirection::None;
    uint32_t length = 0;
    uint32_t crc32 = 0;  // of the whole buffer after the command (TraceDigest)
    ExecResult result = ExecResult::Ok;
    SenseInfo sense{};  // of a failed command
};

std::string FormatTraceLine(size_t driveIndex, const TraceEntry& entry);

// The digest of a command's buffer as a trace line shows it: CRC-32 over all of it, 0 for
// no buffer. For a data-in command the caller first zero-fills what the drive did not send.
uint32_t TraceDigest(std::span<const uint8_t> buffer);

}  // namespace flashtool
