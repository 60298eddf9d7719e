#pragma once

// The file --record writes: never one that holds anything, never replaced, and whole or
// absent after a crash. Each system has its own way of creating a file only where none is.

#include <optional>
#include <string>

namespace flashtool {

// Why FILE may not be written, or nothing when it may (it is absent, or empty).
std::optional<std::string> RefusesFile(const std::string& path);

// A new file: written whole to a temporary file beside `path` and synced, then put in place
// under its name, which fails rather than replace anything that appeared there while the
// drives were read. A crash leaves no file or the whole one. The error, or nothing.
std::optional<std::string> WriteNew(const std::string& path, const std::string& text);

// An empty file (one that mktemp made, say) is filled where it is, only while it is still
// empty and only by appending, so that nothing anyone wrote into it meanwhile is lost. A
// crash can leave it cut, which the scenario reader then refuses whole.
std::optional<std::string> FillEmpty(const std::string& path, const std::string& text);

}  // namespace flashtool
