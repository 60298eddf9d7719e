#include "app/cli/Endings.h"

#include <array>

namespace flashtool {

int ExitStatusOf(const RunEnding& ending) {
    switch (ending.kind) {
        case RunEndingKind::Updated:
        case RunEndingKind::WouldUpdate:
            return kExitUpdated;
        case RunEndingKind::UpToDate:
            return kExitUpToDate;
        case RunEndingKind::NotConfirmed:
            return kExitNotConfirmed;
        case RunEndingKind::Refused:
        case RunEndingKind::Failed:
            // Nobody pressed Cancel when the rules declined a downgrade: it is the refusal of
            // a downgrade, whatever the window would have shown.
            if (ending.declined == QuestionKind::DriveNewer) {
                return kExitResultBase + static_cast<int>(ResultCode::DowngradeRefused);
            }
            return ending.code ? kExitResultBase + static_cast<int>(*ending.code) : kExitUsage;
        case RunEndingKind::NothingSent:
            return kExitUsage;
    }
    return kExitUsage;
}

std::string EndingKey(RunEndingKind kind) {
    switch (kind) {
        case RunEndingKind::NothingSent:
            return "nothingSent";
        case RunEndingKind::Refused:
            return "refused";
        case RunEndingKind::UpToDate:
            return "upToDate";
        case RunEndingKind::Failed:
            return "failed";
        case RunEndingKind::NotConfirmed:
            return "notConfirmed";
        case RunEndingKind::Updated:
            return "updated";
        case RunEndingKind::WouldUpdate:
            return "canUpdate";
    }
    return "nothingSent";
}

std::string ResultName(const RunEnding& ending) {
    switch (ending.kind) {
        case RunEndingKind::Updated:
            return "Updated";
        case RunEndingKind::WouldUpdate:
            return "CanUpdate";
        case RunEndingKind::UpToDate:
            return "UpToDate";
        case RunEndingKind::NotConfirmed:
            return "NotConfirmed";
        case RunEndingKind::NothingSent:
            return "NotStarted";
        case RunEndingKind::Refused:
        case RunEndingKind::Failed:
            break;
    }
    if (!ending.code) {
        return "NotStarted";
    }
    // A downgrade the rules declined is named as the refusal it is (as its exit status).
    const ResultCode code =
        ending.declined == QuestionKind::DriveNewer ? ResultCode::DowngradeRefused : *ending.code;
    switch (code) {
        case ResultCode::UserCancelled:
            return "UserCancelled";
        case ResultCode::ChecksumMismatch:
            return "ChecksumMismatch";
        case ResultCode::CommandFailed:
            return "CommandFailed";
        case ResultCode::UpdateFailed:
            return "UpdateFailed";
        case ResultCode::NotAllowed:
            return "NotAllowed";
        case ResultCode::CheckFailed:
            return "CheckFailed";
        case ResultCode::DowngradeRefused:
            return "DowngradeRefused";
        case ResultCode::DiscPresent:
            return "DiscPresent";
    }
    return "NotStarted";
}

int Severity(const RunEnding& ending) {
    switch (ending.kind) {
        case RunEndingKind::Updated:
        case RunEndingKind::WouldUpdate:
            return 0;
        case RunEndingKind::UpToDate:
            return 1;
        case RunEndingKind::Refused:
            return 2;
        case RunEndingKind::NothingSent:
            return 3;
        case RunEndingKind::NotConfirmed:
            return 4;
        case RunEndingKind::Failed:
            return 5;
    }
    return 5;
}

std::string EndingLine(const RunEnding& ending, std::string_view drive, std::string_view before,
                       std::string_view now, std::string_view build) {
    const std::string name(drive);
    const std::string from(before);
    const std::string to(build);
    switch (ending.kind) {
        case RunEndingKind::Updated:
            switch (ending.after) {
                case RevisionAfterRun::New:
                    return name + ": updated from " + from + " to " + to + " (verified).";
                case RevisionAfterRun::Same:
                    return name + ": reinstalled " + to +
                           "; the drive confirmed it (a reinstall cannot be verified by its "
                           "revision).";
                case RevisionAfterRun::Unreadable:
                    return name +
                           ": updated; the drive did not answer when its revision was "
                           "read back: check it with --list after a restart.";
                case RevisionAfterRun::Other:
                    return name + ": updated; it now reports " + std::string(now) + ", not " + to +
                           ": check the drive with --list after a restart.";
                default:
                    break;
            }
            return name + ": updated; it still reports " + std::string(now) + ", and may show " +
                   to + " only after a restart.";
        case RunEndingKind::UpToDate:
            return name + ": up to date (firmware " + from +
                   "), nothing to do; --allow-reinstall installs it again.";
        case RunEndingKind::NotConfirmed: {
            const std::string shows = ending.after == RevisionAfterRun::Unreadable
                                          ? "did not answer when its revision was read back"
                                      : ending.after == RevisionAfterRun::Same
                                          ? "reports " + std::string(now) +
                                                " as before, which cannot tell whether it took it"
                                          : "still reports " + std::string(now);
            return name + ": NOT CONFIRMED: the drive took every page of " + to +
                   " but did not confirm it, and " + shows +
                   ". Restart the computer (power the drive off and on if it is external), "
                   "then check the revision with --list; if it is not " +
                   to + ", run the update again.";
        }
        case RunEndingKind::Failed:
            return name + ": the update FAILED (" + ResultName(ending) +
                   "); the drive may hold part of the new firmware. Restart the computer and "
                   "run the update again.";
        case RunEndingKind::Refused:
            if (ending.declined == QuestionKind::DriveNewer) {
                return name + ": its firmware " + from + " is newer than this build's " + to +
                       ": not installed (--allow-older installs the older one).";
            }
            return name + ": not updated (" + ResultName(ending) + "); nothing was written to it.";
        case RunEndingKind::NothingSent:
            return name + ": not updated; nothing was sent to it.";
        case RunEndingKind::WouldUpdate:
            return name + ": " + from + " -> " + to + ": an update would start.";
    }
    return name;
}

std::string CheckLine(const RunEnding& ending, std::string_view drive, std::string_view before,
                      std::string_view build) {
    if (ending.kind == RunEndingKind::Refused && ending.declined != QuestionKind::DriveNewer) {
        return std::string(drive) + ": an update would be refused (" + ResultName(ending) +
               "); nothing was sent that changes it.";
    }
    if (ending.kind == RunEndingKind::NothingSent) {
        return std::string(drive) + ": could not be checked.";
    }
    return EndingLine(ending, drive, before, before, build);
}

std::string SummaryLine(const std::vector<RunEnding>& endings, size_t otherModels) {
    // In the order an operator reads them: what went well first.
    constexpr std::array kinds{RunEndingKind::Updated,    RunEndingKind::WouldUpdate,
                               RunEndingKind::UpToDate,   RunEndingKind::NotConfirmed,
                               RunEndingKind::Refused,    RunEndingKind::Failed,
                               RunEndingKind::NothingSent};
    std::string line;
    for (const RunEndingKind kind : kinds) {
        int count = 0;
        for (const RunEnding& ending : endings) {
            count += ending.kind == kind ? 1 : 0;
        }
        if (count > 0) {
            line += (line.empty() ? "" : ", ") + std::to_string(count) + " " +
                    (kind == RunEndingKind::NothingSent ? "not started" : EndingName(kind));
        }
    }
    if (otherModels > 0) {
        line +=
            (line.empty() ? "" : ", ") + std::to_string(otherModels) + " not this build's model";
    }
    return line.empty() ? "no drive" : line;
}

}  // namespace flashtool
