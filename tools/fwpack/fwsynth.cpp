// fwsynth: writes a deterministic synthetic firmware image from a small description of
// "name value" lines: revision, family, length, seed, code-size.
//
//   fwsynth DESCRIPTION -o IMAGE

#include <cstdio>
#include <string>

#include "tools/fwpack/FileIo.h"
#include "tools/fwpack/FirmwareSources.h"

namespace {

using namespace flashtool;

int Fail(const std::string& message) {
    std::fprintf(stderr, "fwsynth: error: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || std::string(argv[2]) != "-o") {
        std::fprintf(stderr, "usage: fwsynth DESCRIPTION -o IMAGE\n");
        return 2;
    }
    const std::string path = argv[1];
    const FileRead read = ReadRegularFile(path, 64 * 1024, "a recipe may have");
    if (!read.error.empty()) {
        return Fail(path + ": " + read.error);
    }
    const SyntheticRecipe recipe =
        ParseSyntheticRecipe(std::string(read.bytes.begin(), read.bytes.end()), path);
    if (!recipe.parameters) {
        return Fail(recipe.error);
    }
    const std::vector<uint8_t> image = GenerateSyntheticFirmware(*recipe.parameters);
    if (!WriteFileAtomically(argv[3], image)) {
        return Fail(std::string(argv[3]) + ": cannot write the image");
    }
    return 0;
}
