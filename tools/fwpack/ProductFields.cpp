#include "tools/fwpack/ProductFields.h"

#include <algorithm>
#include <filesystem>

#include "tools/fwpack/FileIo.h"
#include "tools/fwpack/TextRecords.h"

namespace flashtool {

namespace {

constexpr uint64_t kMaxIconSize = 1024 * 1024;
constexpr uint64_t kMaxNotesSize = 64 * 1024;
constexpr uint64_t kMaxDrivesSize = 1024 * 1024;

bool Printable(std::string_view text, size_t maximum) {
    return !text.empty() && text.size() <= maximum &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

bool NoneOf(std::string_view text, std::string_view characters) {
    return text.find_first_of(characters) == std::string_view::npos;
}

// Debian's Maintainer field: a name, then an address in angle brackets.
bool IsMaintainer(std::string_view text) {
    const size_t open = text.find(" <");
    if (!Printable(text, 200) || open == std::string_view::npos || open == 0 ||
        text.back() != '>') {
        return false;
    }
    const std::string_view name = text.substr(0, open);
    const std::string_view address = text.substr(open + 2, text.size() - open - 3);
    const size_t at = address.find('@');
    return NoneOf(name, "<>,") && NoneOf(address, "<> ,") && at != std::string_view::npos &&
           at > 0 && at + 1 < address.size() && address.find('@', at + 1) == std::string_view::npos;
}

bool IsHomepage(std::string_view text) {
    const bool scheme = text.starts_with("https://") || text.starts_with("http://");
    const size_t host = text.find("//") + 2;
    return scheme && Printable(text, 200) && NoneOf(text, " <>\"\\") && text.size() > host;
}

// The first thing wrong with the texts a vendor gives, as "field ...".
std::string CheckTexts(const BuildDescription& d) {
    if (!d.vendor.empty() && (!Printable(d.vendor, 64) || !NoneOf(d.vendor, "<>\\"))) {
        return "vendor \"" + d.vendor + "\" is not 1 to 64 printable characters without <, > or \\";
    }
    if (!d.maintainer.empty() && !IsMaintainer(d.maintainer)) {
        return "maintainer \"" + d.maintainer +
               "\" is not a name and an address, as \"Name <name@example.org>\"";
    }
    if (!d.homepage.empty() && !IsHomepage(d.homepage)) {
        return "homepage \"" + d.homepage + "\" is not an http:// or https:// address";
    }
    return {};
}

// `error` ("field ...") with the file and the field's line.
std::string Located(const BuildDescription& d, std::string_view fileName,
                    const std::string& error) {
    const auto line = d.lines.find(error.substr(0, error.find(' ')));
    return line != d.lines.end() ? RecordError(fileName, line->second, error)
                                 : std::string(fileName) + ": " + error;
}

struct NamedFile {
    std::string path;  // absolute
    FileRead read;
};

// Reads the file the field names; an error "field \"path\": what is wrong".
std::string ReadNamed(std::string_view field, const std::string& value, const std::string& folder,
                      uint64_t maxBytes, NamedFile& file) {
    const std::filesystem::path path =
        std::filesystem::absolute(std::filesystem::path(folder) / value).lexically_normal();
    file.path = path.string();
    file.read =
        ReadRegularFile(file.path, maxBytes, "a build's " + std::string(field) + " may have");
    if (!file.read.error.empty()) {
        return std::string(field) + " \"" + value + "\": " + file.read.error;
    }
    return {};
}

// The files a vendor names: each read whole, the icon an SVG picture, the notes parsed.
std::string ReadFiles(const BuildDescription& d, const std::string& folder, Product& product) {
    NamedFile file;
    if (!d.drives.empty()) {
        if (std::string error = ReadNamed("drives", d.drives, folder, kMaxDrivesSize, file);
            !error.empty()) {
            return error;
        }
        product.drives = file.path;
    }
    if (!d.icon.empty()) {
        if (std::string error = ReadNamed("icon", d.icon, folder, kMaxIconSize, file);
            !error.empty()) {
            return error;
        }
        const std::string text(file.read.bytes.begin(), file.read.bytes.end());
        if (!d.icon.ends_with(".svg") || text.find("<svg") == std::string::npos) {
            return "icon \"" + d.icon +
                   "\" is not an SVG picture (a .svg file with an <svg> element)";
        }
        product.icon = file.path;
    }
    if (!d.releaseNotes.empty()) {
        if (std::string error =
                ReadNamed("release-notes", d.releaseNotes, folder, kMaxNotesSize, file);
            !error.empty()) {
            return error;
        }
        const std::string text(file.read.bytes.begin(), file.read.bytes.end());
        ParsedReleaseNotes parsed = ParseReleaseNotes(text, d.releaseNotes);
        if (!parsed.notes) {
            return "release-notes \"" + d.releaseNotes + "\": " + parsed.error;
        }
        product.releaseNotesFile = file.path;
        product.notes = std::move(parsed.notes);
    }
    return {};
}

}  // namespace

std::string DefaultPackage(std::string_view target) {
    const size_t end = target.find_last_not_of(' ');
    if (end == std::string_view::npos) {
        return {};
    }
    const size_t begin = target.find_last_of(' ', end);
    std::string word(target.substr(begin == std::string_view::npos ? 0 : begin + 1,
                                   end - (begin == std::string_view::npos ? 0 : begin + 1) + 1));
    for (char& c : word) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        const bool allowed =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '.' || c == '-';
        c = allowed ? c : '-';
    }
    if (std::all_of(word.begin(), word.end(), [](char c) { return c == '-'; })) {
        return {};
    }
    return "flashtool-" + word;
}

std::string DefaultModel(std::string_view target) {
    std::string model;
    for (const char c : target) {
        if (c != ' ' || (!model.empty() && model.back() != ' ')) {
            model.push_back(c);
        }
    }
    while (!model.empty() && model.back() == ' ') {
        model.pop_back();
    }
    return model;
}

LoadedProduct LoadProduct(const BuildDescription& d, std::string_view fileName,
                          const std::string& folder) {
    LoadedProduct result;
    Product product{d.package.empty() ? DefaultPackage(d.target) : d.package,
                    d.model.empty() ? DefaultModel(d.target) : d.model, d.vendor, d.maintainer,
                    d.homepage};
    if (product.package.empty()) {
        result.error = std::string(fileName) +
                       ": package is missing: a wildcard target names no model to name the "
                       "package after";
        return result;
    }
    std::string error = CheckTexts(d);
    if (error.empty()) {
        error = ReadFiles(d, folder, product);
    }
    if (!error.empty()) {
        result.error = Located(d, fileName, error);
        return result;
    }
    result.product = std::move(product);
    return result;
}

}  // namespace flashtool
