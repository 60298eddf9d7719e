#include "tools/fwpack/BuildDescription.h"

#include <algorithm>
#include <map>

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
    return "\"" + std::string(text) + "\"";
}

std::string CheckPayloadSize(std::string_view name, const std::optional<uint32_t>& size) {
    if (size && (*size == 0 || *size > kImageBufferSize)) {
        return std::string(name) + " must be between 1 and " + std::to_string(kImageBufferSize);
    }
    return {};
}

}  // namespace

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
    if (d.layout == RegionLayout::Single) {
        if (!d.versionB.empty() || d.payloadSizeB) {
            return "version-b and payload-b-size belong to the dual layout";
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
    if (d.family.starts_with("TJ44") || d.family.starts_with("KM7300")) {
        return "family " + Quoted(d.family) + " cannot use the dual layout";
    }
    return CheckPayloadSize("payload-b-size", d.payloadSizeB);
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
                                                            {"separator-tag", &d.separatorTag}};
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
    if (std::string error = ValidateBuildDescription(d); !error.empty()) {
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
