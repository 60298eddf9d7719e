// producttables: turns the product tables of data/ into the constant tables the program is
// compiled with.
//
//   producttables FAMILIES MODELS OEM_REVISIONS FACTORY_REVISIONS -o DIR
//
// Writes FamilyTraitsData.inc, ModelTableData.inc and FactoryRevisionData.inc into DIR. A
// malformed table stops it before anything is written, with "file:line: error: what is
// wrong".

#include "tools/fwpack/ProductTables.h"

#include <cstdio>
#include <string>
#include <vector>

#include "tools/fwpack/FileIo.h"
#include "tools/fwpack/ToolArguments.h"

namespace {

using namespace flashtool;

bool ReadText(const std::string& path, std::string& text) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes) {
        std::fprintf(stderr, "%s: error: no such table file\n", path.c_str());
        return false;
    }
    text.assign(bytes->begin(), bytes->end());
    return true;
}

bool Write(const std::string& path, const std::string& text) {
    if (!WriteFileAtomically(path, std::vector<uint8_t>(text.begin(), text.end()))) {
        std::fprintf(stderr, "%s: error: cannot write the file\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const ToolArguments arguments = SplitToolArguments(argc, argv);
    if (!arguments.unknownOption.empty()) {
        std::fprintf(stderr, "producttables: error: unknown option %s\n",
                     arguments.unknownOption.c_str());
        return 1;
    }
    const std::vector<std::string>& inputs = arguments.inputs;
    const std::string& output = arguments.output;
    if (output.empty() || inputs.size() != 4) {
        std::fprintf(
            stderr,
            "usage: producttables FAMILIES MODELS OEM_REVISIONS FACTORY_REVISIONS -o DIR\n");
        return 2;
    }
    ProductTableFiles files{inputs[0], {}, inputs[1], {}, inputs[2], {}, inputs[3], {}};
    if (!ReadText(files.familiesName, files.familiesText) ||
        !ReadText(files.modelsName, files.modelsText) || !ReadText(files.oemName, files.oemText) ||
        !ReadText(files.factoryName, files.factoryText)) {
        return 1;
    }
    const ProductTables tables = ReadProductTables(files);
    if (!tables.error.empty()) {
        std::fprintf(stderr, "%s\n", tables.error.c_str());
        return 1;
    }
    const bool written = Write(output + "/FamilyTraitsData.inc", FamilyTraitsSource(tables)) &&
                         Write(output + "/ModelTableData.inc", ModelTableSource(tables)) &&
                         Write(output + "/FactoryRevisionData.inc", FactoryRevisionSource(tables));
    return written ? 0 : 1;
}
