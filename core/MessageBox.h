#pragma once

// A modal message box as the program asks for one, free of any toolkit.

#include <cstdint>
#include <optional>
#include <string>

namespace flashtool {

enum class BoxButtons : uint8_t { Ok, OkCancel };
enum class BoxIcon : uint8_t { None, Exclamation, Information, Stop };
enum class BoxAnswer : uint8_t { Ok, Cancel };

struct MessageBoxRequest {
    std::string text;
    std::optional<std::string> caption;  // none: the application's title
    BoxButtons buttons = BoxButtons::Ok;
    BoxIcon icon = BoxIcon::None;
    friend bool operator==(const MessageBoxRequest&, const MessageBoxRequest&) = default;
};

}  // namespace flashtool
