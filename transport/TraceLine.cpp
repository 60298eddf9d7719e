#include "transport/TraceLine.h"

#include <zlib.h>

#include "core/Format.h"

namespace flashtool {

namespace {

const char* DirectionName(DataDirection direction) {
    switch (direction) {
        case DataDirection::Out:
            return "out";
        case DataDirection::In:
            return "in";
        default:
            return "none";
    }
}

}  // namespace

std::string FormatTraceLine(size_t driveIndex, const TraceEntry& entry) {
    std::string line = FormatText("vdrive %zu:", driveIndex);
    for (const uint8_t byte : entry.cdb) {
        line += FormatText(" %02X", byte);
    }
    line += FormatText(" | %s %u crc32=%08X | ", DirectionName(entry.direction), entry.length,
                       entry.crc32);
    switch (entry.result) {
        case ExecResult::Ok:
            line += "ok";
            break;
        case ExecResult::TimedOut:
            line += "timedout";
            break;
        default:
            line += FormatText("failed %X/%02X", entry.sense.key, entry.sense.asc);
            break;
    }
    return line + "\n";
}

uint32_t TraceDigest(std::span<const uint8_t> buffer) {
    if (buffer.empty()) {
        return 0;
    }
    return static_cast<uint32_t>(
        crc32(crc32(0L, Z_NULL, 0), buffer.data(), static_cast<uInt>(buffer.size())));
}

}  // namespace flashtool
