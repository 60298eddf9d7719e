#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flashtool {

// A file the build tools read: its bytes, or why not ("no such file", "cannot read the
// file", "not a regular file", "the file has N bytes, more than the M ...").
struct FileRead {
    std::vector<uint8_t> bytes;
    std::string error;  // empty when `bytes` is the whole file
};

// The whole of a regular file of at most `maxBytes` bytes. What the file is and how large
// it is are asked before a byte is read: a FIFO or a device would keep the tool waiting
// for ever, and a huge (or sparse) file would be read into memory only to be refused.
// `limitName` ends the refusal of a file too large: "the drive's buffer holds" gives "the
// file has N bytes, more than the 2097152 the drive's buffer holds".
FileRead ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string_view limitName);

// The whole file (a regular one, of any size); nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// Writes next to `path` and renames over it, so a failed run leaves no partial file.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace flashtool
