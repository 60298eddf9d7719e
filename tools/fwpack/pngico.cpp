// pngico: packs PNG pictures into a Windows icon file, for the programs' icon resource when a
// build names an icon of its own.
//
//   pngico PICTURE.png... -o ICON.ico

#include <cstdio>
#include <string>
#include <vector>

#include "tools/fwpack/FileIo.h"
#include "tools/fwpack/IconFile.h"
#include "tools/fwpack/ToolArguments.h"

int main(int argc, char** argv) {
    using namespace flashtool;
    const ToolArguments arguments = SplitToolArguments(argc, argv);
    if (arguments.output.empty() || arguments.inputs.empty() || !arguments.unknownOption.empty()) {
        std::fprintf(stderr, "usage: pngico PICTURE.png... -o ICON.ico\n");
        return 2;
    }
    std::vector<std::vector<uint8_t>> pictures;
    for (const std::string& path : arguments.inputs) {
        FileRead read = ReadRegularFile(path, 4 * 1024 * 1024, "an icon's picture may have");
        if (!read.error.empty()) {
            std::fprintf(stderr, "pngico: error: %s: %s\n", path.c_str(), read.error.c_str());
            return 1;
        }
        pictures.push_back(std::move(read.bytes));
    }
    const IconFile icon = IconFromPngs(pictures);
    if (!icon.error.empty()) {
        std::fprintf(stderr, "pngico: error: %s\n", icon.error.c_str());
        return 1;
    }
    if (!WriteFileAtomically(arguments.output, icon.bytes)) {
        std::fprintf(stderr, "pngico: error: %s: cannot write the file\n",
                     arguments.output.c_str());
        return 1;
    }
    return 0;
}
