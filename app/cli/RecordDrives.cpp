#include "app/cli/RecordDrives.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/cli/DriveSession.h"
#include "app/cli/MakerCommandReach.h"
#include "app/cli/RecordFile.h"
#include "core/Format.h"
#include "drive/RecordingBackend.h"
#include "emulator/DriveRecorder.h"
#include "emulator/Scenario.h"

namespace flashtool {

namespace {

std::string Summary(const DriveDescription& drive) {
    const VirtualDriveSetup& setup = drive.setup;
    std::string text = "\"" + setup.identification + "\" " + setup.revision + ": " +
                       (setup.discPresent ? "disc in the tray" : "no disc") + ", " +
                       (drive.largeBuffer ? "large buffer" : "small buffer");
    const bool printableTag = std::all_of(setup.oemTag.begin(), setup.oemTag.end(),
                                          [](char c) { return c >= 0x20 && c <= 0x7E; });
    text += printableTag ? ", OEM tag \"" + setup.oemTag + "\"" : ", OEM tag not text";
    text +=
        drive.serial.empty() ? ", no serial number" : ", serial number \"" + drive.serial + "\"";
    text += drive.reader ? ", reader" : "";
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
    // Nothing is replaced: a file that was not there is created, an empty one filled.
    std::error_code error;
    const bool fillEmpty = std::filesystem::exists(file, error);
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
            return fail(NoSuchDrive(*drive));
        }
        rows.push_back(*row);
    } else {
        for (uint8_t row = 0; row < transport.DeviceCount(); ++row) {
            rows.push_back(row);
        }
    }

    std::vector<DriveDescription> recorded;
    std::string sources;
    std::string withheld;
    bool leftOut = false;
    const MakerCommandsAllowed allowed = [&](const DriveDescription& readSoFar) {
        return BuildSendsMakerCommands(readSoFar, environment);
    };
    for (const uint8_t row : rows) {
        const DriveRecording recording =
            RecordDrive(*transport.DeviceAt(row), environment.clock, allowed);
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
        if (recording.makerCommandsWithheld) {
            withheld += FormatText("%sdrive %u", withheld.empty() ? "" : ", ", row);
        }
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
    std::string description =
        "Recorded with " + environment.program + " --record from " + sources + ".";
    if (!withheld.empty()) {
        description += " This build sends " + withheld +
                       " none of the maker's commands: recorded from standard commands alone, "
                       "their model records are the defaults.";
    }
    const std::string text = WriteScenario(recorded, description);
    if (const auto problem = fillEmpty ? FillEmpty(file, text) : WriteNew(file, text)) {
        return fail(file + ": " + *problem);
    }
    environment.out.Write(
        FormatText("%zu drive%s recorded to ", recorded.size(), recorded.size() == 1 ? "" : "s") +
        file + (recorded.size() == 1 ? "; replay it" : "; replay them") +
        " with: " + environment.emulatedProgram + " --drives " + file + "\n");
    return leftOut ? kExitUsage : kExitUpdated;
}

}  // namespace flashtool
