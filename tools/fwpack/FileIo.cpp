#include "tools/fwpack/FileIo.h"

#include <filesystem>
#include <fstream>
#include <limits>

namespace flashtool {

FileRead ReadRegularFile(const std::string& path, uint64_t maxBytes, std::string_view limitName) {
    FileRead result;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error == std::errc::no_such_file_or_directory ||
        (!error && !std::filesystem::exists(status))) {
        result.error = "no such file";
        return result;
    }
    if (error) {
        result.error = "cannot read the file";
        return result;
    }
    // Opening a FIFO waits for a writer, and a device may never end: refused unopened.
    if (!std::filesystem::is_regular_file(status)) {
        result.error = "not a regular file";
        return result;
    }
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        result.error = "cannot read the file";
        return result;
    }
    if (size > maxBytes) {
        result.error = "the file has " + std::to_string(size) + " bytes, more than the " +
                       std::to_string(maxBytes) + " " + std::string(limitName);
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    result.bytes.resize(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(result.bytes.data()), static_cast<std::streamsize>(size));
    // A file that changed between the question and the reading is not the file asked about.
    const bool whole = in && static_cast<uintmax_t>(in.gcount()) == size &&
                       in.peek() == std::ifstream::traits_type::eof();
    if (!whole) {
        result.bytes.clear();
        result.error = "cannot read the file: it changed while it was read";
    }
    return result;
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    FileRead read = ReadRegularFile(path, std::numeric_limits<uint64_t>::max(), "");
    if (!read.error.empty()) {
        return std::nullopt;
    }
    return std::move(read.bytes);
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temporary = path + ".part";
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        written = static_cast<bool>(out.flush());
    }
    std::error_code error;
    if (written) {
        std::filesystem::rename(temporary, path, error);
    }
    if (!written || error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace flashtool
