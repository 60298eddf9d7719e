#include "tools/fwpack/BuildDescription.h"

#include <algorithm>
#include <map>

#include "core/Bytes.h"
#include "image/FamilyTraits.h"
#include "policy/VariantBuilds.h"
#include "tools/fwpack/TextRecords.h"

namespace flashtool {

namespace {

bool IsPrintable(char c) {
    return c >= 0x20 && c <= 0x7E;
}
bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool IsLetter(char c) {
    return IsUpper(c) || (c >= 'a' && c <= 'z');
}

bool AllPrintable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), IsPrintable);
}

bool Printable(std::string_view text, size_t minimum, size_t maximum) {
    return text.size() >= minimum && text.size() <= maximum && AllPrintable(text);
}

std::string Quoted(std::string_view text) {
    // Appended piece by piece: g++ 12 warns wrongly (-Wrestrict) about "\"" + std::string.
    std::string quoted(1, '"');
    quoted.append(text).push_back('"');
    return quoted;
}

std::string CheckPayloadSize(std::string_view name, const std::optional<uint32_t>& size) {
    if (size && (*size == 0 || *size > kImageBufferSize)) {
        return std::string(name) + " must be between 1 and " + std::to_string(kImageBufferSize);
    }
    return {};
}

}  // namespace

bool IsDebianPackageName(std::string_view name) {
    const auto allowed = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    };
    return name.size() >= 2 && std::all_of(name.begin(), name.end(), allowed) && name[0] != '+' &&
           name[0] != '-' && name[0] != '.';
}

std::string ValidateBuildDescription(const BuildDescription& d) {
    const std::string& key = d.key;
    if (key.size() != 5 || !std::all_of(key.begin(), key.begin() + 4, IsUpper) || key[4] < '0' ||
        key[4] > '9') {
        return "key " + Quoted(key) + " is malformed: expected 4 capital letters and a digit";
    }
    if (!Printable(d.target, 24, 24)) {
        return "target " + Quoted(d.target) + " is not 24 printable characters";
    }
    if (!Printable(d.revision, 4, 4)) {
        return "revision " + Quoted(d.revision) + " is malformed: expected 4 printable characters";
    }
    if (!Printable(d.family, 1, 7) || d.family.find(' ') != std::string::npos) {
        return "family " + Quoted(d.family) + " is malformed: expected 1 to 7 characters, no blank";
    }
    if (!Printable(d.pattern, 6, 6) || !IsLetter(d.pattern[0]) || !IsLetter(d.pattern[1])) {
        return "pattern " + Quoted(d.pattern) +
               " is malformed: expected 2 brand letters and 4 pattern characters";
    }
    if (std::string error = CheckPayloadSize("payload-a-size", d.payloadSizeA); !error.empty()) {
        return error;
    }
    if (!d.package.empty() && !IsDebianPackageName(d.package)) {
        return "package " + Quoted(d.package) +
               " is not a Debian package name: lower-case letters, digits, '+', '-' and '.'";
    }
    if (!AllPrintable(d.model)) {
        return "model " + Quoted(d.model) + " is not printable text";
    }
    if (d.layout == RegionLayout::Single) {
        if (!d.versionB.empty() || d.payloadSizeB) {
            return "version-b and payload-b-size belong to the dual layout";
        }
        if (d.sourceB) {
            return d.sourceB->field + " belongs to the dual layout";
        }
        return {};
    }
    if (!Printable(d.versionB, 1, 6)) {
        return "version-b " + Quoted(d.versionB) + " is malformed: expected 1 to 6 characters";
    }
    if (!Printable(d.separatorTag, kSeparatorTagTextSize, kSeparatorTagTextSize)) {
        return "separator-tag " + Quoted(d.separatorTag) + " is not " +
               std::to_string(kSeparatorTagTextSize) + " printable characters";
    }
    // These families always stage from offset 64, which in the dual layout would cover the
    // payload header itself: no payload there could ever pass its check.
    if (TraitsOf(d.family).fixedOffset) {
        return "family " + Quoted(d.family) + " cannot use the dual layout";
    }
    return CheckPayloadSize("payload-b-size", d.payloadSizeB);
}

BuildConfig ConfigFor(const BuildDescription& d, uint32_t sizeA) {
    std::array<uint8_t, kBuildConfigSize> bytes{};
    const auto put = [&bytes](size_t offset, std::string_view text, size_t width) {
        std::copy_n(text.begin(), std::min(text.size(), width), bytes.begin() + offset);
    };
    put(0, d.key, 8);
    put(8, d.target, 24);
    put(32, d.revision, 4);
    // The field and the two bytes the program reads after it: a description that passed its
    // check has at most 7 characters, and tests describe longer codes.
    put(38, d.family, 10);
    put(48, d.pattern, 8);
    StoreLittleEndian32(bytes, 60, sizeA);
    return BuildConfig(bytes);
}

namespace {

// A stored payload is sent and checked page by page: a part page at its end would be
// staged but never sent whole.
std::string CheckWholePages(std::string_view name, const std::optional<uint32_t>& size) {
    if (size && *size % kPageSize != 0) {
        return std::string(name) + " " + std::to_string(*size) + " is not a whole number of " +
               std::to_string(kPageSize) + "-byte pages";
    }
    return {};
}

// The stored-region check reads the region in the layout the drive's model check chooses:
// a layout it never chooses for this build leaves every run refused.
std::string CheckLayout(const BuildDescription& d, const BuildConfig& config) {
    const std::string build = " is always refused for family " + Quoted(d.family) +
                              " with target " + Quoted(d.target) + ": ";
    if (d.layout == RegionLayout::Single && AlwaysSetsVariantTag(config)) {
        return "layout single" + build + "the drive's model check always chooses the dual layout";
    }
    if (d.layout == RegionLayout::Dual && !CanSetVariantTag(config)) {
        return "layout dual" + build + "only family " + std::string(VariantFamilyCode()) +
               " with target " + Quoted(kModelQv5500a) + " or \"*\" is checked in the dual layout";
    }
    return {};
}

}  // namespace

std::string CheckProgramTakes(const BuildDescription& d) {
    const BuildConfig config = ConfigFor(d, 0);
    if (!IsMakerBuild(config.BuildKey())) {
        return "key " + Quoted(d.key) + " is not the maker's: expected \"TARN\" and a digit";
    }
    if (!IsTransferMethodDigit(config.TransferMethodDigit())) {
        return "key " + Quoted(d.key) + " names no transfer method: the digit must be " +
               kFirstMethodDigit + " to " + kLastMethodDigit;
    }
    if (std::string error = CheckWholePages("payload-a-size", d.payloadSizeA); !error.empty()) {
        return error;
    }
    if (std::string error = CheckWholePages("payload-b-size", d.payloadSizeB); !error.empty()) {
        return error;
    }
    return CheckLayout(d, config);
}

namespace {

// Copies each "name value" record into its field; the first error, or empty. `seen` gets
// the line of every name.
std::string ReadFields(const std::vector<TextRecord>& records, std::string_view fileName,
                       BuildDescription& d, std::string& layout,
                       std::map<std::string, size_t>& seen) {
    const std::map<std::string_view, std::string*> texts = {{"key", &d.key},
                                                            {"target", &d.target},
                                                            {"revision", &d.revision},
                                                            {"family", &d.family},
                                                            {"pattern", &d.pattern},
                                                            {"layout", &layout},
                                                            {"version-b", &d.versionB},
                                                            {"separator-tag", &d.separatorTag},
                                                            {"package", &d.package},
                                                            {"model", &d.model},
                                                            {"drives", &d.drives},
                                                            {"vendor", &d.vendor},
                                                            {"maintainer", &d.maintainer},
                                                            {"homepage", &d.homepage},
                                                            {"icon", &d.icon},
                                                            {"release-notes", &d.releaseNotes}};
    for (const TextRecord& record : records) {
        if (record.columns.size() != 2) {
            return RecordError(fileName, record.line, "expected a name and one value");
        }
        const std::string& name = record.columns[0];
        const std::string& value = record.columns[1];
        if (!seen.emplace(name, record.line).second) {
            return RecordError(fileName, record.line, name + " is given twice");
        }
        if (const auto text = texts.find(name); text != texts.end()) {
            *text->second = value;
        } else if (name == "image-a" || name == "synthetic-a" || name == "image-b" ||
                   name == "synthetic-b") {
            std::optional<FirmwareSource>& source = name.back() == 'a' ? d.sourceA : d.sourceB;
            if (source) {
                return RecordError(fileName, record.line,
                                   name + " and " + source->field + " both name payload " +
                                       std::string(1, static_cast<char>(name.back() - 32)) +
                                       "'s firmware");
            }
            if (value.empty()) {
                return RecordError(fileName, record.line, name + " names no file");
            }
            source = FirmwareSource{name, value, record.line, name.starts_with("synthetic")};
        } else if (name == "payload-a-size" || name == "payload-b-size") {
            const std::optional<uint64_t> size = ParseNumber(value);
            if (!size || *size > UINT32_MAX) {
                return RecordError(fileName, record.line, name + " is not a number");
            }
            (name == "payload-a-size" ? d.payloadSizeA : d.payloadSizeB) =
                static_cast<uint32_t>(*size);
        } else {
            return RecordError(fileName, record.line, "unknown name " + Quoted(name));
        }
    }
    return {};
}

}  // namespace

ParsedBuildDescription ParseBuildDescription(std::string_view text, std::string_view fileName) {
    ParsedBuildDescription result;
    const TextRecords records = ParseTextRecords(text, fileName);
    BuildDescription d;
    std::string layout;
    std::map<std::string, size_t> seen;
    result.error = records.error.empty() ? ReadFields(records.records, fileName, d, layout, seen)
                                         : records.error;
    if (!result.error.empty()) {
        return result;
    }
    for (const char* required : {"key", "target", "revision", "family", "pattern", "layout"}) {
        if (!seen.contains(required)) {
            result.error = std::string(fileName) + ": " + required + " is missing";
            return result;
        }
    }
    if (layout != "single" && layout != "dual") {
        result.error = RecordError(fileName, seen["layout"], "layout must be single or dual");
        return result;
    }
    d.layout = layout == "dual" ? RegionLayout::Dual : RegionLayout::Single;
    d.lines.insert(seen.begin(), seen.end());
    std::string error = ValidateBuildDescription(d);
    if (error.empty()) {
        error = CheckProgramTakes(d);
    }
    if (!error.empty()) {
        // Name the line of the offending field where there is one.
        const size_t space = error.find(' ');
        const auto field = seen.find(error.substr(0, space));
        result.error = field != seen.end() ? RecordError(fileName, field->second, error)
                                           : std::string(fileName) + ": " + error;
        return result;
    }
    result.description = std::move(d);
    return result;
}

}  // namespace flashtool
