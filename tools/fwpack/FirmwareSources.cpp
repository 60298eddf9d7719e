#include "tools/fwpack/FirmwareSources.h"

#include <filesystem>
#include <map>

#include "image/ImageLayout.h"
#include "tools/fwpack/FileIo.h"
#include "tools/fwpack/TextRecords.h"

namespace flashtool {

SyntheticRecipe ParseSyntheticRecipe(std::string_view text, std::string_view fileName) {
    SyntheticRecipe result;
    const TextRecords records = ParseTextRecords(text, fileName);
    if (!records.error.empty()) {
        result.error = records.error;
        return result;
    }
    SyntheticFirmwareParameters parameters;
    std::map<std::string, uint64_t> numbers;
    for (const TextRecord& record : records.records) {
        if (record.columns.size() != 2) {
            result.error = RecordError(fileName, record.line, "expected a name and one value");
            return result;
        }
        const std::string& name = record.columns[0];
        const std::string& value = record.columns[1];
        if (name == "revision" && value.size() == 4) {
            parameters.revision = value;
        } else if (name == "family" && !value.empty() && value.size() <= 8) {
            parameters.family = value;
        } else if (name == "length" || name == "seed" || name == "code-size") {
            const auto number = ParseNumber(value);
            if (!number || (name != "seed" && *number > kImageBufferSize)) {
                result.error =
                    RecordError(fileName, record.line, name + " is not a number in range");
                return result;
            }
            numbers[name] = *number;
        } else {
            result.error =
                RecordError(fileName, record.line, "unknown name or malformed value: " + name);
            return result;
        }
    }
    if (parameters.revision.empty() || parameters.family.empty() || numbers.size() != 3) {
        result.error = std::string(fileName) +
                       ": revision, family, length, seed and code-size are all required";
        return result;
    }
    parameters.length = static_cast<uint32_t>(numbers["length"]);
    parameters.seed = numbers["seed"];
    parameters.codeSize = static_cast<uint32_t>(numbers["code-size"]);
    result.parameters = parameters;
    return result;
}

std::string CheckFirmwareImage(std::string_view name, const std::vector<uint8_t>& image) {
    const std::string prefix = std::string(name) + ": ";
    if (image.empty()) {
        return prefix + "the file is empty";
    }
    if (image.size() > kImageBufferSize) {
        return prefix + "the file has " + std::to_string(image.size()) + " bytes, more than the " +
               std::to_string(kImageBufferSize) + " the drive's buffer holds";
    }
    // Expanded images go to the drive page by page: a part page at the end is never sent.
    if (image.size() % kPageSize != 0) {
        return prefix + "the file has " + std::to_string(image.size()) +
               " bytes, not a whole number of " + std::to_string(kPageSize) + "-byte pages";
    }
    return {};
}

namespace {

// A recipe is a handful of short lines.
constexpr uint64_t kMaxRecipeSize = 64 * 1024;

std::string LoadOne(const std::optional<FirmwareSource>& source, char payload,
                    std::string_view fileName, const std::string& folder,
                    std::vector<uint8_t>& image) {
    if (!source) {
        return std::string(fileName) + ": image-" + payload + " or synthetic-" + payload +
               " is missing: payload " + static_cast<char>(payload - 32) + " needs its firmware";
    }
    const std::string where =
        RecordError(fileName, source->line, source->field + " \"" + source->path + "\"");
    const std::string path = (std::filesystem::path(folder) / source->path).string();
    FileRead read = source->synthetic
                        ? ReadRegularFile(path, kMaxRecipeSize, "a recipe may have")
                        : ReadRegularFile(path, kImageBufferSize, "the drive's buffer holds");
    if (!read.error.empty()) {
        return where + ": " + read.error;
    }
    if (source->synthetic) {
        const SyntheticRecipe recipe =
            ParseSyntheticRecipe(std::string(read.bytes.begin(), read.bytes.end()), path);
        if (!recipe.parameters) {
            return where + ": " + recipe.error;
        }
        read.bytes = GenerateSyntheticFirmware(*recipe.parameters);
    }
    image = std::move(read.bytes);
    return CheckFirmwareImage(where, image);
}

}  // namespace

LoadedFirmware LoadFirmware(const BuildDescription& description, std::string_view fileName,
                            const std::string& folder) {
    LoadedFirmware loaded;
    loaded.error = LoadOne(description.sourceA, 'a', fileName, folder, loaded.imageA);
    if (loaded.error.empty() && description.layout == RegionLayout::Dual) {
        loaded.error = LoadOne(description.sourceB, 'b', fileName, folder, loaded.imageB);
    }
    return loaded;
}

}  // namespace flashtool
