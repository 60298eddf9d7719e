#include "app/ResultMessages.h"

#include <string>

namespace flashtool {

namespace {

constexpr std::string_view kWarning = "Warning";
constexpr std::string_view kNotAllowed = "The drive is not allowed to be updated.";
constexpr std::string_view kUpdateFailed =
    "Updating incomplete or interrupted! \n\n"
    "Please retry after rebooting your computer and ensure the drive is\n"
    "properly installed and detected by the operating system.\n"
    "Also remove any media from the drive.\n\n"
    "It is highly recommended to terminate all applications before updating.\n\n"
    "If the problem persists, please contact product support.";
constexpr std::string_view kDowngrade = "UPGRADE Only! Can't downgrade this drive.";
constexpr std::string_view kDiscPresent =
    "The update cannot proceed because there is a disc in the selected drive. Remove the disc "
    "and retry the operation.";

// A warning box: OK, the exclamation icon, the caption "Warning".
MessageBoxRequest Warning(std::string_view text) {
    return {std::string(text), std::string(kWarning), BoxButtons::Ok, BoxIcon::Exclamation};
}

}  // namespace

std::optional<ResultMessage> MessageForResult(ResultCode code) {
    switch (code) {
        case ResultCode::UserCancelled:
            return ResultMessage{{"User cancelled."},
                                 {"User cancelled.", std::nullopt, BoxButtons::Ok, BoxIcon::None},
                                 {}};
        case ResultCode::ChecksumMismatch:
            return ResultMessage{{"Check Sum not match !!"}, Warning("CheckSum not match !!"), {}};
        case ResultCode::CommandFailed:
            return ResultMessage{{"On Command Fail !!"}, Warning("Command Fail."), {}};
        case ResultCode::UpdateFailed:
            return ResultMessage{{" ", "======== FAIL ========"}, Warning(kUpdateFailed), {" "}};
        case ResultCode::NotAllowed:
        case ResultCode::CheckFailed:
            return ResultMessage{{kNotAllowed}, Warning(kNotAllowed), {}};
        case ResultCode::DowngradeRefused:
            return ResultMessage{{kDowngrade}, Warning(kDowngrade), {}};
        case ResultCode::DiscPresent:
            return ResultMessage{{kDiscPresent}, Warning(kDiscPresent), {}};
    }
    return std::nullopt;
}

}  // namespace flashtool
