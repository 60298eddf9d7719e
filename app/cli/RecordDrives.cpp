#include "app/cli/RecordDrives.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/cli/DriveSession.h"
#include "core/Format.h"
#include "drive/RecordingBackend.h"
#include "emulator/DriveRecorder.h"
#include "emulator/Scenario.h"

namespace flashtool {

namespace {

// Why FILE may not be written, or nothing when it may.
std::optional<std::string> RefusesFile(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return errno == ENOENT ? std::nullopt
                               : std::optional<std::string>(std::string("cannot be checked: ") +
                                                            std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        return "exists and is not a regular file";
    }
    if (status.st_size != 0) {
        return "exists and is not empty; a recording is never replaced (remove it, or name "
               "another file)";
    }
    return std::nullopt;
}

bool WriteAll(int descriptor, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = write(descriptor, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Writes `text` to a temporary file beside `path`, syncs it, renames it over `path` and syncs
// the folder: a crash leaves the old state or the whole new file. The error, or nothing.
std::optional<std::string> WriteWhole(const std::string& path, const std::string& text) {
    std::string temporary = path + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        return std::string("cannot be written: ") + std::strerror(errno);
    }
    const bool written =
        fchmod(descriptor, 0644) == 0 && WriteAll(descriptor, text) && fsync(descriptor) == 0;
    const int error = errno;
    if (close(descriptor) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
        const int cause = written ? errno : error;
        unlink(temporary.c_str());
        return std::string("cannot be written: ") + std::strerror(cause);
    }
    std::string folder = std::filesystem::path(path).parent_path().string();
    const int directory = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return std::nullopt;
}

std::string Summary(const DriveDescription& drive) {
    const VirtualDriveSetup& setup = drive.setup;
    std::string text = "\"" + setup.identification + "\" " + setup.revision + ": " +
                       (setup.discPresent ? "disc in the tray" : "no disc") + ", " +
                       (drive.largeBuffer ? "large buffer" : "small buffer");
    const bool printableTag = std::all_of(setup.oemTag.begin(), setup.oemTag.end(),
                                          [](char c) { return c >= 0x20 && c <= 0x7E; });
    text += printableTag ? ", OEM tag \"" + setup.oemTag + "\"" : ", OEM tag not text";
    for (const auto& [name, record] :
         {std::pair{"24", drive.recordAt24}, std::pair{"02", drive.recordAt02}}) {
        if (record) {
            text += FormatText(", record %s %02X%02X%02X%02X", name, (*record)[0], (*record)[1],
                               (*record)[2], (*record)[3]);
        }
    }
    if (!drive.readiness.empty()) {
        text += FormatText(", %zu readiness condition%s", drive.readiness.size(),
                           drive.readiness.size() == 1 ? "" : "s");
    }
    return text;
}

}  // namespace

int RecordDrives(const std::string& file, std::optional<std::string> drive,
                 CliEnvironment& environment) {
    auto fail = [&](const std::string& message) {
        environment.err.Write(environment.program + ": " + message + "\n");
        return kExitUsage;
    };
    if (const auto refusal = RefusesFile(file)) {
        return fail(file + ": " + *refusal);
    }
    // No notice and no question: nothing a recording sends changes a drive.
    Prompter prompter(environment.terminal, {});
    auto guarded = std::make_unique<RecordingBackend>(environment.makeBackend(environment.out));
    const RecordingBackend& guard = *guarded;
    DriveSession session(environment, prompter, &environment.err, environment.err, environment.out,
                         environment.clock, std::move(guarded));
    ScsiTransport& transport = session.dialog.Transport();
    if (!transport.LoadBackend()) {
        return kExitUsage;
    }
    session.dialog.FillDriveTree();
    if (transport.DeviceCount() == 0) {
        return fail("no drive to record");
    }
    std::vector<uint8_t> rows;
    if (drive) {
        const std::optional<uint8_t> row = FindDrive(session.dialog, *drive);
        if (!row) {
            return fail("no drive '" + *drive + "' (--list shows the drives)");
        }
        rows.push_back(*row);
    } else {
        for (uint8_t row = 0; row < transport.DeviceCount(); ++row) {
            rows.push_back(row);
        }
    }

    std::vector<DriveDescription> recorded;
    std::string sources;
    bool leftOut = false;
    for (const uint8_t row : rows) {
        const DriveRecording recording = RecordDrive(*transport.DeviceAt(row), environment.clock);
        std::string nodes;
        for (const std::string& name : transport.NodeNames(row)) {
            nodes += (nodes.empty() ? " (" : " ") + name;
        }
        nodes += nodes.empty() ? "" : ")";
        if (recording.unrecordable) {
            leftOut = true;
            environment.err.Write(FormatText("%s: drive %u%s: not recorded: ",
                                             environment.program.c_str(), row, nodes.c_str()) +
                                  *recording.unrecordable + "\n");
            continue;
        }
        environment.out.Write(FormatText("drive %u: ", row) + Summary(recording.drive) + "\n");
        for (const std::string& note : recording.notes) {
            environment.out.Write(FormatText("drive %u: ", row) + note + "\n");
        }
        sources += FormatText("%sdrive %u%s", sources.empty() ? "" : ", ", row, nodes.c_str());
        recorded.push_back(recording.drive);
    }
    if (!guard.Refused().empty()) {
        // The list lets every command above through: anything else asked for means the
        // recording is not what this function says it is, and no file is written from it.
        for (const std::string& command : guard.Refused()) {
            environment.err.Write(environment.program + ": refused to send " + command + "\n");
        }
        return fail("nothing written: the recording asked for commands that are not reads");
    }
    if (recorded.empty()) {
        return fail("nothing written: no drive could be recorded");
    }
    const std::string text = WriteScenario(
        recorded, "Recorded with " + environment.program + " --record from " + sources + ".");
    if (const auto error = WriteWhole(file, text)) {
        return fail(file + ": " + *error);
    }
    environment.out.Write(
        FormatText("%zu drive%s recorded to ", recorded.size(), recorded.size() == 1 ? "" : "s") +
        file + (recorded.size() == 1 ? "; replay it" : "; replay them") +
        " with: " + environment.emulatedProgram + " --drives " + file + "\n");
    return leftOut ? kExitUsage : kExitUpdated;
}

}  // namespace flashtool
