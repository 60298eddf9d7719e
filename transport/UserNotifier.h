#pragma once

#include <string_view>

namespace flashtool {

// How the transport and its back-ends tell the user something: a modal message box with
// an OK button, no icon and the application's title. The dialog implements it.
class UserNotifier {
public:
    virtual ~UserNotifier() = default;
    virtual void ShowMessage(std::string_view text) = 0;
};

}  // namespace flashtool
