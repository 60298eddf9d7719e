#include "app/cli/CliOptions.h"

#include <algorithm>
#include <vector>

namespace flashtool {

namespace {

// An option that takes a value, given as "--name VALUE" or "--name=VALUE". Empty `value`
// and an error when the value is missing.
bool TakeValue(std::span<char* const> arguments, size_t& at, std::string_view name,
               std::string& value, std::string& error) {
    const std::string_view argument = arguments[at];
    if (argument == name) {
        if (at + 1 == arguments.size()) {
            error = std::string(name) + " needs " +
                    (name == "--drives" ? "a scenario file" : "a drive");
            return true;
        }
        value = arguments[++at];
        return true;
    }
    if (argument.starts_with(name) && argument.size() > name.size() &&
        argument[name.size()] == '=') {
        value = std::string(argument.substr(name.size() + 1));
        return true;
    }
    return false;
}

void SetAction(CliOptions& options, CliAction action, std::string& error) {
    if (options.action != CliAction::Window && options.action != action) {
        error = "--list, --update, --all, --help and --version cannot be combined";
    } else if (options.action == action) {
        error = "an option is given more than once";
    }
    options.action = action;
}

// The modifiers each need an action that uses them.
std::string CheckCombination(const CliOptions& options) {
    const CliAction action = options.action;
    const bool updates = action == CliAction::Update || action == CliAction::All;
    if (options.json && !updates && action != CliAction::List) {
        return "--json needs --list, --update or --all";
    }
    if ((options.yes || options.force || options.restart) && !updates) {
        return std::string(options.yes     ? "--yes"
                           : options.force ? "--force"
                                           : "--restart") +
               " needs --update or --all";
    }
    return {};
}

}  // namespace

CliParse ParseCommandLine(std::span<char* const> arguments, bool takesDrivesFile) {
    CliParse parse;
    CliOptions& options = parse.options;
    std::string& error = parse.error;
    for (size_t at = 0; at < arguments.size() && error.empty(); ++at) {
        const std::string_view argument = arguments[at];
        std::string value;
        if (TakeValue(arguments, at, "--update", value, error)) {
            SetAction(options, CliAction::Update, error);
            options.drive = value;
        } else if (takesDrivesFile && TakeValue(arguments, at, "--drives", value, error)) {
            if (options.drivesFile) {
                error = "--drives is given more than once";
            }
            options.drivesFile = value;
        } else if (argument == "--trace" || argument.starts_with("--trace=")) {
            if (options.trace) {
                error = "an option is given more than once";
            } else if (argument == "--trace=") {
                error = "--trace= needs a file";
            }
            options.trace = std::string(argument.substr(std::min(argument.size(), size_t{8})));
        } else if (argument == "--list") {
            SetAction(options, CliAction::List, error);
        } else if (argument == "--all") {
            SetAction(options, CliAction::All, error);
        } else if (argument == "--help") {
            SetAction(options, CliAction::Help, error);
        } else if (argument == "--version") {
            SetAction(options, CliAction::Version, error);
        } else if (argument == "--json" || argument == "--yes" || argument == "--force" ||
                   argument == "--restart") {
            bool& flag = argument == "--json"    ? options.json
                         : argument == "--yes"   ? options.yes
                         : argument == "--force" ? options.force
                                                 : options.restart;
            if (flag) {
                error = "an option is given more than once";
            }
            flag = true;
        } else {
            error = "unknown option '" + std::string(argument) + "'";
        }
    }
    if (error.empty()) {
        error = CheckCombination(options);
    }
    return parse;
}

std::string UsageText(std::string_view program, bool takesDrivesFile) {
    std::string text = "Usage: " + std::string(program) +
                       " [--list | --update DRIVE | --all] [OPTION]...\n"
                       "Updates the firmware of an optical drive with the image this build "
                       "carries.\nWithout an option it opens the window.\n\n"
                       "  --list          list the drives, and whether this build can update "
                       "each\n"
                       "  --update DRIVE  update one drive: its row in the list, or its node\n"
                       "                  (/dev/sg1, /dev/sr0)\n"
                       "  --all           update every drive this build can update, all at once\n"
                       "  --yes           answer OK to the start-up notice and the confirmation\n"
                       "  --force         update a drive that already has this firmware or a\n"
                       "                  newer one too\n"
                       "  --restart       restart the computer when an update asks for it\n"
                       "  --json          with --list, --update or --all: print JSON\n"
                       "  --trace[=FILE]  print every command sent to a drive as one line, to\n"
                       "                  standard error or to FILE (made empty first)\n";
    if (takesDrivesFile) {
        text += "  --drives FILE   the virtual drives of a scenario file\n";
    }
    text +=
        "  --help          show this help and exit\n"
        "  --version       show the program's version and exit\n\n"
        "Without a terminal, and without --yes, every question is answered Cancel.\n\n"
        "Exit status:\n"
        "   0  updated (or listed)\n"
        "   1  a usage or environment error: a bad option, no access to the drives,\n"
        "      no such drive\n"
        "  12  cancelled              13  checksum mismatch\n"
        "  14  a command failed       15  the update failed\n"
        "  16  not allowed            17  a check failed\n"
        "  18  downgrade refused      19  a disc is in the drive\n"
        "  With --all, the highest status of the drives.\n"
        " 130  interrupted (Ctrl+C, SIGTERM, SIGHUP) while no drive was being written\n";
    return text;
}

}  // namespace flashtool
