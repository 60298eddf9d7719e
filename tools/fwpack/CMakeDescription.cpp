#include "tools/fwpack/CMakeDescription.h"

#include <filesystem>

namespace flashtool {

namespace {

std::string Set(std::string_view name, std::string_view value) {
    return "set(FWPACK_" + std::string(name) + " " + CMakeBracket(value) + ")\n";
}

std::string Absolute(const std::filesystem::path& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

}  // namespace

std::string CMakeBracket(std::string_view text) {
    // The least run of '=' whose closing bracket the text does not hold.
    std::string equals;
    while (text.find("]" + equals + "]") != std::string_view::npos) {
        equals.push_back('=');
    }
    return "[" + equals + "[" + std::string(text) + "]" + equals + "]";
}

std::vector<std::string> BuildInputs(const BuildDescription& d, const Product& product,
                                     const std::string& description) {
    const std::filesystem::path folder = std::filesystem::path(description).parent_path();
    std::vector<std::string> inputs{Absolute(description)};
    for (const auto& source : {d.sourceA, d.sourceB}) {
        if (source) {
            inputs.push_back(Absolute(folder / source->path));
        }
    }
    for (const std::string& file : {product.drives, product.icon, product.releaseNotesFile}) {
        if (!file.empty()) {
            inputs.push_back(file);
        }
    }
    return inputs;
}

std::string CMakeDescription(const BuildDescription& d, const Product& product,
                             const std::vector<std::string>& inputs) {
    std::string text = "# Written by fwpack --check --describe; read by cmake/BuildData.cmake.\n";
    text += Set("PACKAGE", product.package) + Set("MODEL", product.model) +
            Set("REVISION", d.revision) + Set("KEY", d.key) + Set("VENDOR", product.vendor) +
            Set("MAINTAINER", product.maintainer) + Set("HOMEPAGE", product.homepage) +
            Set("DRIVES", product.drives) + Set("ICON", product.icon) +
            Set("RELEASE_NOTES", product.releaseNotesFile);
    const char* payloads[] = {"A", "B"};
    for (int i = 0; i < 2; ++i) {
        const std::optional<FirmwareSource>& source = i == 0 ? d.sourceA : d.sourceB;
        const std::string name = std::string("FIRMWARE_") + payloads[i];
        text += Set(name, source ? source->path : "");
        text += Set(name + "_SYNTHETIC", source && source->synthetic ? "ON" : "OFF");
    }
    const ReleaseNotes notes = product.notes.value_or(ReleaseNotes{});
    text += Set("NOTES_DATE", notes.date) + Set("NOTES_CHANGELOG_DATE", notes.changelogDate);
    text += Set("NOTE_COUNT", std::to_string(notes.notes.size()));
    for (size_t i = 0; i < notes.notes.size(); ++i) {
        std::string lines;
        for (const std::string& line : notes.notes[i]) {
            lines += (lines.empty() ? "" : "\n") + line;
        }
        text += Set("NOTE_" + std::to_string(i + 1), lines);
    }
    text += "set(FWPACK_INPUTS";
    for (const std::string& input : inputs) {
        text += "\n    " + CMakeBracket(input);
    }
    return text + ")\n";
}

}  // namespace flashtool
