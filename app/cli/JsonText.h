#pragma once

// The command line's JSON documents, built as nlohmann-json values and printed in the layout
// they have always had: the head's members on the first line, then the list (the drives, the
// history's records) one object a line, then the members after it on a line of their own.
// Strings are quoted as the history quotes them (history/ByteJson.h): every control
// character and every byte a drive sent outside printable ASCII escaped, so that the output
// stays valid whatever a drive reports.

#include <span>
#include <string>
#include <string_view>

#include "history/ByteJson.h"

namespace flashtool {

// `{"action": "list", "build": {...},\n"drives": [`: the members of `head`, then the list's.
std::string DocumentHead(const JsonValue& head, std::string_view list);

// One element of the list, on a line of its own; `first` for the list's first.
std::string DocumentElement(const JsonValue& element, bool first);

// `\n],\n"summary": ..., "error": null}\n`: the end of the list (`any`: whether it has
// elements) and the members of `tail`.
std::string DocumentTail(const JsonValue& tail, bool any);

// The whole document.
std::string DocumentText(const JsonValue& head, std::string_view list,
                         std::span<const JsonValue> elements, const JsonValue& tail);

// {"model": ..., "revision": ...}: the build a document speaks for.
JsonValue BuildJson(std::string_view model, std::string_view revision);

}  // namespace flashtool
