#include "flash/RunEnding.h"

namespace flashtool {

std::string EndingName(RunEndingKind kind) {
    switch (kind) {
        case RunEndingKind::NothingSent:
            return "nothing sent";
        case RunEndingKind::Refused:
            return "refused";
        case RunEndingKind::UpToDate:
            return "up to date";
        case RunEndingKind::Failed:
            return "failed";
        case RunEndingKind::NotConfirmed:
            return "not confirmed";
        case RunEndingKind::Updated:
            return "updated";
        case RunEndingKind::WouldUpdate:
            return "can update";
    }
    return "nothing sent";
}

}  // namespace flashtool
