// fwpack: packs a build's stored region from its description and raw firmware images.
//
//   fwpack DESCRIPTION [IMAGE_A [IMAGE_B]] -o REGION [--images DIR]
//   fwpack DESCRIPTION --check [--describe FILE]
//
// IMAGE_B is given for the dual layout only. Without images the description names them
// (image-a, synthetic-a, ...); --images DIR then writes the images packed there as
// firmware-a.bin (and firmware-b.bin), for the tests that compare an expanded payload with
// them. The region is written whole or not at all.
//
// --check runs every check of a product build (the description, its firmware packed into
// its payloads, the files its product names) and writes no region: the configure step of a
// build runs it, so that a build that cannot be packed stops there with the file, line and
// field. --describe FILE then writes what CMake reads of the build (CMakeDescription.h).

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/fwpack/BuildDescription.h"
#include "tools/fwpack/CMakeDescription.h"
#include "tools/fwpack/FileIo.h"
#include "tools/fwpack/FirmwareSources.h"
#include "tools/fwpack/ProductFields.h"
#include "tools/fwpack/RegionPacker.h"
#include "tools/fwpack/TextRecords.h"
#include "tools/fwpack/ToolArguments.h"

namespace {

using namespace flashtool;

// A description is a few dozen short lines.
constexpr uint64_t kMaxDescriptionSize = 1024 * 1024;

int Fail(const std::string& message) {
    std::fprintf(stderr, "fwpack: error: %s\n", message.c_str());
    return 1;
}

void PrintPayload(const char* name, const PackedPayload& payload) {
    std::printf(
        "  payload %s: %zu bytes (%zu pages), stream %zu bytes, linear 0x%04X, rotated 0x%04X\n",
        name, payload.payloadSize, payload.payloadSize / kPageSize, payload.streamSize,
        payload.expectedLinear, payload.expectedRotated);
}

// What names a payload's firmware in a message: the field and the line of the description
// that named it, else the image file given on the command line.
std::string PayloadName(const BuildDescription& d, const std::vector<std::string>& inputs,
                        char payload) {
    const std::optional<FirmwareSource>& source = payload == 'a' ? d.sourceA : d.sourceB;
    const size_t argument = payload == 'a' ? 1 : 2;
    std::string name = std::string("image ") + static_cast<char>(payload - 32);
    if (inputs.size() > argument) {
        name = inputs[argument];
    } else if (source) {
        name = RecordError(inputs[0], source->line, source->field + " \"" + source->path + "\"");
    }
    // A fixed payload size is the other half of a payload that cannot fit.
    const std::string sizeField = std::string("payload-") + payload + "-size";
    if (const auto size = d.lines.find(sizeField); size != d.lines.end()) {
        name += " (" + sizeField + " on line " + std::to_string(size->second) + ")";
    }
    return name;
}

// Reads the description and the images (given, or named by the description); the first
// error, or empty. `files` holds the description's bytes, then image A (and B).
std::string ReadInputs(const std::vector<std::string>& inputs,
                       std::vector<std::vector<uint8_t>>& files, ParsedBuildDescription& parsed) {
    for (size_t i = 0; i < inputs.size(); ++i) {
        FileRead read =
            i == 0 ? ReadRegularFile(inputs[i], kMaxDescriptionSize, "a build description may have")
                   : ReadRegularFile(inputs[i], kImageBufferSize, "the drive's buffer holds");
        if (!read.error.empty()) {
            return inputs[i] + ": " + read.error;
        }
        files.push_back(std::move(read.bytes));
    }
    parsed = ParseBuildDescription(std::string(files[0].begin(), files[0].end()), inputs[0]);
    if (!parsed.description) {
        return parsed.error;
    }
    const bool dual = parsed.description->layout == RegionLayout::Dual;
    if (inputs.size() == 1) {
        const std::string folder = std::filesystem::path(inputs[0]).parent_path().string();
        LoadedFirmware loaded = LoadFirmware(*parsed.description, inputs[0], folder);
        if (!loaded.error.empty()) {
            return loaded.error;
        }
        files.push_back(std::move(loaded.imageA));
        if (dual) {
            files.push_back(std::move(loaded.imageB));
        }
        return {};
    }
    if (dual != (inputs.size() == 3)) {
        return dual ? "the dual layout takes two images (A and B)"
                    : "the single layout takes one image";
    }
    for (size_t i = 1; i < inputs.size(); ++i) {
        if (std::string error = CheckFirmwareImage(inputs[i], files[i]); !error.empty()) {
            return error;
        }
    }
    return {};
}

// --check: the product's own fields and files, and --describe's script.
int CheckProduct(const BuildDescription& d, const std::string& description,
                 const std::string& describeFile) {
    const std::string folder = std::filesystem::path(description).parent_path().string();
    const LoadedProduct loaded = LoadProduct(d, description, folder);
    if (!loaded.product) {
        return Fail(loaded.error);
    }
    if (!describeFile.empty()) {
        const std::string text =
            CMakeDescription(d, *loaded.product, BuildInputs(d, *loaded.product, description));
        if (!WriteFileAtomically(describeFile, std::vector<uint8_t>(text.begin(), text.end()))) {
            return Fail(describeFile + ": cannot write the file");
        }
    }
    std::printf("fwpack: %s: checked: %s %s (%s)\n", description.c_str(),
                loaded.product->package.c_str(), d.revision.c_str(), loaded.product->model.c_str());
    return 0;
}

int WriteOutputs(const ToolArguments& arguments, const std::vector<std::vector<uint8_t>>& files,
                 const PackResult& packed, bool dual) {
    if (!arguments.imagesDir.empty()) {
        const std::filesystem::path dir(arguments.imagesDir);
        for (size_t i = 1; i < files.size(); ++i) {
            const std::string path =
                (dir / (i == 1 ? "firmware-a.bin" : "firmware-b.bin")).string();
            if (!WriteFileAtomically(path, files[i])) {
                return Fail(path + ": cannot write the image");
            }
        }
    }
    if (!WriteFileAtomically(arguments.output, packed.region)) {
        return Fail(arguments.output + ": cannot write the region");
    }
    std::printf("fwpack: %s: %s layout, %zu bytes\n", arguments.output.c_str(),
                dual ? "dual" : "single", packed.region.size());
    PrintPayload("A", packed.payloadA);
    if (dual) {
        PrintPayload("B", packed.payloadB);
    }
    std::printf("  region: sums at %zu, linear 0x%04X, rotated 0x%04X\n", packed.coveredLength,
                packed.regionLinear, packed.regionRotated);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const ToolArguments arguments = SplitToolArguments(argc, argv);
    if (!arguments.unknownOption.empty()) {
        return Fail("unknown option " + arguments.unknownOption);
    }
    const std::vector<std::string>& inputs = arguments.inputs;
    const bool packs = !arguments.output.empty() && !arguments.check;
    const bool checks = arguments.check && arguments.output.empty() &&
                        arguments.imagesDir.empty() && inputs.size() == 1;
    if ((!packs && !checks) || inputs.empty() || inputs.size() > 3 ||
        (!arguments.describeFile.empty() && !checks)) {
        std::fprintf(stderr,
                     "usage: fwpack DESCRIPTION [IMAGE_A [IMAGE_B]] -o REGION [--images DIR]\n"
                     "       fwpack DESCRIPTION --check [--describe FILE]\n");
        return 2;
    }
    std::vector<std::vector<uint8_t>> files;
    ParsedBuildDescription parsed;
    if (std::string error = ReadInputs(inputs, files, parsed); !error.empty()) {
        return Fail(error);
    }
    const BuildDescription& d = *parsed.description;
    const bool dual = d.layout == RegionLayout::Dual;
    const PackResult packed = PackRegion(d, files[1], dual ? files[2] : std::vector<uint8_t>(),
                                         PayloadName(d, inputs, 'a'), PayloadName(d, inputs, 'b'));
    if (!packed.error.empty()) {
        return Fail(packed.error);
    }
    return checks ? CheckProduct(d, inputs[0], arguments.describeFile)
                  : WriteOutputs(arguments, files, packed, dual);
}
