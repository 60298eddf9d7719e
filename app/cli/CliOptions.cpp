#include "app/cli/CliOptions.h"

#include <algorithm>
#include <vector>

namespace flashtool {

namespace {

// An option that takes a file, given as "--name FILE" or "--name=FILE". Empty `value` and
// an error when the file is missing.
bool TakeValue(std::span<char* const> arguments, size_t& at, std::string_view name,
               std::string& value, std::string& error) {
    const std::string_view argument = arguments[at];
    if (argument == name) {
        if (at + 1 == arguments.size()) {
            error = std::string(name) + " needs a scenario file";
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
    // --check --all asks the same as --check alone: every drive (a drive named as well is
    // refused once every word has been read).
    if ((options.action == CliAction::Check && action == CliAction::All) ||
        (options.action == CliAction::All && action == CliAction::Check)) {
        options.action = CliAction::Check;
        return;
    }
    if (options.action != CliAction::Window && options.action != action) {
        error =
            "--list, --update, --all, --check, --record, --history, --help and --version "
            "cannot be combined";
    } else if (options.action == action) {
        error = "an option is given more than once";
    }
    options.action = action;
}

// The modifiers each need an action that uses them.
std::string CheckCombination(const CliOptions& options) {
    const CliAction action = options.action;
    const bool updates = action == CliAction::Update || action == CliAction::All;
    const bool checks = action == CliAction::Check;
    if (options.json && !updates && !checks && action != CliAction::List &&
        action != CliAction::History) {
        return "--json needs --list, --update, --all, --check or --history";
    }
    // --check answers the revision question as the update would.
    const bool allows = (options.allowReinstall || options.allowOlder) && !checks;
    if ((options.yes || allows || options.restart) && !updates) {
        return std::string(options.yes              ? "--yes"
                           : options.allowReinstall ? "--allow-reinstall"
                           : options.allowOlder     ? "--allow-older"
                                                    : "--restart") +
               " needs --update or --all";
    }
    return {};
}

// The short forms, as tools on the command line spell them: -h, -V, -y, -q, -v (-vv, -yq).
std::string ShortOptions(std::string_view argument, CliOptions& options, std::string& error) {
    for (const char letter : argument.substr(1)) {
        switch (letter) {
            case 'h':
                SetAction(options, CliAction::Help, error);
                break;
            case 'V':
                SetAction(options, CliAction::Version, error);
                break;
            case 'y':
                options.yes = true;
                break;
            case 'q':
                options.quiet = true;
                break;
            case 'v':
                ++options.verbosity;
                break;
            default:
                return "unknown option '-" + std::string(1, letter) + "'";
        }
    }
    return error;
}

// A word that is not an option: a drive of --update (any number of them), or the drive of
// --check or --record when none was named yet.
std::string Positional(std::string_view word, CliOptions& options) {
    const bool takesDrive =
        options.action == CliAction::Update ||
        ((options.action == CliAction::Check || options.action == CliAction::Record) &&
         options.drives.empty());
    if (takesDrive) {
        options.drives.emplace_back(word);
        return {};
    }
    return word.starts_with("-") ? "unknown option '" + std::string(word) + "'"
                                 : "unexpected argument '" + std::string(word) + "'";
}

// "--update=DRIVE", "--check=DRIVE": the drive after the equals sign, which must be there.
std::string DriveAfterEquals(std::string_view argument, std::string_view name,
                             CliOptions& options) {
    const std::string_view drive = argument.substr(name.size());
    if (drive.empty()) {
        return std::string(name) + " needs a drive";
    }
    return Positional(drive, options);
}

}  // namespace

CliParse ParseCommandLine(std::span<char* const> arguments, bool takesDrivesFile) {
    CliParse parse;
    CliOptions& options = parse.options;
    std::string& error = parse.error;
    bool optionsEnded = false;
    bool allGiven = false;
    for (size_t at = 0; at < arguments.size() && error.empty(); ++at) {
        const std::string_view argument = arguments[at];
        std::string value;
        if (optionsEnded) {
            error = Positional(argument, options);
        } else if (argument == "--") {
            optionsEnded = true;  // what follows is a drive, even one that starts with '-'
        } else if (argument.size() > 1 && argument[0] == '-' && argument[1] != '-') {
            error = ShortOptions(argument, options, error);
        } else if (argument == "--update" || argument.starts_with("--update=")) {
            // The drives are the words that are not options, before "--" or after it: an
            // option after --update is an option, never a drive.
            SetAction(options, CliAction::Update, error);
            if (argument.starts_with("--update=")) {
                error = DriveAfterEquals(argument, "--update=", options);
            }
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
        } else if (argument == "--check" || argument.starts_with("--check=")) {
            SetAction(options, CliAction::Check, error);
            if (error.empty() && argument.starts_with("--check=")) {
                error = DriveAfterEquals(argument, "--check=", options);
            }
        } else if (argument.starts_with("--record=")) {
            SetAction(options, CliAction::Record, error);
            options.recordFile = std::string(argument.substr(9));
            if (options.recordFile.empty()) {
                error = "--record= needs a file";
            }
        } else if (argument == "--record") {
            error = "--record needs a file: --record=FILE";
        } else if (argument == "--history") {
            SetAction(options, CliAction::History, error);
        } else if (argument == "--list") {
            SetAction(options, CliAction::List, error);
        } else if (argument == "--all") {
            allGiven = true;
            SetAction(options, CliAction::All, error);
        } else if (argument == "--help") {
            SetAction(options, CliAction::Help, error);
        } else if (argument == "--version") {
            SetAction(options, CliAction::Version, error);
        } else if (argument == "--json" || argument == "--yes" || argument == "--allow-reinstall" ||
                   argument == "--allow-older" || argument == "--restart") {
            bool& flag = argument == "--json"              ? options.json
                         : argument == "--yes"             ? options.yes
                         : argument == "--allow-reinstall" ? options.allowReinstall
                         : argument == "--allow-older"     ? options.allowOlder
                                                           : options.restart;
            if (flag) {
                error = "an option is given more than once";
            }
            flag = true;
        } else if (argument == "--quiet") {
            options.quiet = true;
        } else if (argument == "--verbose") {
            ++options.verbosity;
        } else if (const size_t equals = argument.find('=');
                   equals != std::string_view::npos && argument.starts_with("--")) {
            // A known flag given a value is named as such rather than called unknown.
            const std::string name(argument.substr(0, equals));
            const bool flag =
                name == "--json" || name == "--yes" || name == "--list" || name == "--all";
            error = flag ? name + " takes no value" : "unknown option '" + name + "'";
        } else if (!argument.starts_with("-")) {
            error = Positional(argument, options);
        } else {
            error = "unknown option '" + std::string(argument) + "'";
        }
    }
    if (error.empty() && options.action == CliAction::Update && options.drives.empty()) {
        error = "--update needs a drive";
    }
    if (error.empty() && options.action == CliAction::Check && allGiven &&
        !options.drives.empty()) {
        error = "--check takes a drive or --all, not both";
    }
    if (error.empty() && options.quiet && options.verbosity > 0) {
        error = "--quiet and --verbose cannot be combined";
    }
    if (error.empty()) {
        error = CheckCombination(options);
    }
    return parse;
}

std::string UsageText(std::string_view program, std::string_view emulatedProgram,
                      bool takesDrivesFile) {
    std::string text =
        "Usage: " + std::string(program) +
        " [--list | --update DRIVE... | --all | --check [DRIVE]] [OPTION]...\n"
        "Updates the firmware of an optical drive with the image this build "
        "carries.\nWithout an option it opens the window.\n\n"
        "  --list          list the drives, and what this build would do with "
        "each\n"
        "  --update DRIVE...\n"
        "                  update the drives named, each once and all at once: a\n"
        "                  row in the list, or a node (/dev/sg1, /dev/sr0)\n"
        "  --all           update every drive this build can update, all at once\n"
        "  --record=FILE [DRIVE]\n"
        "                  record the drives (or DRIVE) for support, sending only\n"
        "                  commands that read: FILE replays them with\n"
        "                  " +
        std::string(emulatedProgram) +
        " --drives FILE\n"
        "  --history       the runs this program made, and how each ended\n"
        "  --check [DRIVE] run every check of an update on DRIVE (or on every\n"
        "                  drive, also --check --all) and send nothing that\n"
        "                  changes it: says what an update would do, or why not\n"
        "  -y, --yes       answer OK to the start-up notice and the confirmation\n"
        "  --allow-reinstall\n"
        "                  install this firmware on a drive that already has it\n"
        "                  (without it, such a drive is up to date: nothing to do)\n"
        "  --allow-older   install this firmware over a newer one (a downgrade)\n"
        "  --restart       restart the computer when an update asks for it\n"
        "  --json          with --list, --update, --all, --check or --history: JSON\n"
        "  --trace[=FILE]  print every command sent to a drive as one line, to\n"
        "                  standard error or to FILE (made empty first)\n";
    if (takesDrivesFile) {
        text += "  --drives FILE   the virtual drives of a scenario file\n";
    }
    text +=
        "  -q, --quiet     print only each drive's ending, the summary and errors\n"
        "  -v, --verbose   print each command sent to a drive too (a trace line on\n"
        "                  standard error; --trace=FILE keeps them in a file)\n"
        "  -h, --help      show this help and exit\n"
        "  -V, --version   show the program's version and exit\n"
        "  --              what follows is a drive, not an option\n\n"
        "Without a terminal, and without --yes, every question is answered Cancel.\n\n"
        "Exit status:\n"
        "   0  updated (or listed)\n"
        "   1  an environment error: no access to the drives, no such drive, a drive\n"
        "      that could not be listed or reached, another copy running, no\n"
        "      display for the window\n"
        "   2  a usage error: a bad option or argument\n"
        "   3  up to date: the drive already has this firmware, nothing to do\n"
        "  12  cancelled              13  checksum mismatch\n"
        "  14  a command failed       15  the update failed\n"
        "  16  not allowed            17  a check failed\n"
        "  18  downgrade refused      19  a disc is in the drive\n"
        "  20  not confirmed: the drive took every page but did not confirm the new\n"
        "      firmware; restart, check its revision, and update again if needed\n"
        "  With --all or several drives, the status of the worst ending: a failure,\n"
        "  then not confirmed, a drive not reached, a refusal, up to date, updated.\n"
        " 130  interrupted (Ctrl+C, SIGTERM, SIGHUP) while no drive was being written\n";
    return text;
}

}  // namespace flashtool
