// fwpack: packs a build's stored region from its description and raw firmware images.
//
//   fwpack DESCRIPTION [IMAGE_A [IMAGE_B]] -o REGION [--images DIR]
//
// IMAGE_B is given for the dual layout only. Without images the description names them
// (image-a, synthetic-a, ...); --images DIR then writes the images packed there as
// firmware-a.bin (and firmware-b.bin), for the tests that compare an expanded payload with
// them. The region is written whole or not at all.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/fwpack/BuildDescription.h"
#include "tools/fwpack/FileIo.h"
#include "tools/fwpack/FirmwareSources.h"
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

}  // namespace

int main(int argc, char** argv) {
    const ToolArguments arguments = SplitToolArguments(argc, argv);
    if (!arguments.unknownOption.empty()) {
        return Fail("unknown option " + arguments.unknownOption);
    }
    const std::vector<std::string>& inputs = arguments.inputs;
    const std::string& output = arguments.output;
    if (output.empty() || inputs.empty() || inputs.size() > 3) {
        std::fprintf(stderr,
                     "usage: fwpack DESCRIPTION [IMAGE_A [IMAGE_B]] -o REGION [--images DIR]\n");
        return 2;
    }
    std::vector<std::vector<uint8_t>> files;
    for (size_t i = 0; i < inputs.size(); ++i) {
        FileRead read =
            i == 0 ? ReadRegularFile(inputs[i], kMaxDescriptionSize, "a build description may have")
                   : ReadRegularFile(inputs[i], kImageBufferSize, "the drive's buffer holds");
        if (!read.error.empty()) {
            return Fail(inputs[i] + ": " + read.error);
        }
        files.push_back(std::move(read.bytes));
    }
    const std::string text(files[0].begin(), files[0].end());
    const ParsedBuildDescription parsed = ParseBuildDescription(text, inputs[0]);
    if (!parsed.description) {
        return Fail(parsed.error);
    }
    const bool dual = parsed.description->layout == RegionLayout::Dual;
    if (inputs.size() == 1) {
        const std::string folder = std::filesystem::path(inputs[0]).parent_path().string();
        LoadedFirmware loaded = LoadFirmware(*parsed.description, inputs[0], folder);
        if (!loaded.error.empty()) {
            return Fail(loaded.error);
        }
        files.push_back(std::move(loaded.imageA));
        if (dual) {
            files.push_back(std::move(loaded.imageB));
        }
    } else {
        if (dual != (inputs.size() == 3)) {
            return Fail(dual ? "the dual layout takes two images (A and B)"
                             : "the single layout takes one image");
        }
        for (size_t i = 1; i < inputs.size(); ++i) {
            if (std::string error = CheckFirmwareImage(inputs[i], files[i]); !error.empty()) {
                return Fail(error);
            }
        }
    }
    const PackResult packed =
        PackRegion(*parsed.description, files[1], dual ? files[2] : std::vector<uint8_t>());
    if (!packed.error.empty()) {
        return Fail(packed.error);
    }
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
    if (!WriteFileAtomically(output, packed.region)) {
        return Fail(output + ": cannot write the region");
    }
    std::printf("fwpack: %s: %s layout, %zu bytes\n", output.c_str(), dual ? "dual" : "single",
                packed.region.size());
    PrintPayload("A", packed.payloadA);
    if (dual) {
        PrintPayload("B", packed.payloadB);
    }
    std::printf("  region: sums at %zu, linear 0x%04X, rotated 0x%04X\n", packed.coveredLength,
                packed.regionLinear, packed.regionRotated);
    return 0;
}
