#include "tools/fwpack/FileIo.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace flashtool {

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
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
