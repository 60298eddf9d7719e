// What the options parse to, and the one-line error each misuse gets.

#include <gtest/gtest.h>

#include <vector>

#include "app/cli/CliOptions.h"

namespace flashtool {
namespace {

CliParse Parse(std::vector<std::string> words, bool drivesFile = false) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    return ParseCommandLine(argv, drivesFile);
}

TEST(CliOptions, GoodCombinationsGiveTheirAction) {
    struct Case {
        std::vector<std::string> words;
        CliAction action;
        std::vector<std::string> drives;
    };
    const std::vector<Case> cases = {
        {{}, CliAction::Window, {}},
        {{"--list", "--json"}, CliAction::List, {}},
        {{"--update", "/dev/sr0", "--yes", "--allow-reinstall", "--restart"},
         CliAction::Update,
         {"/dev/sr0"}},
        {{"--update=2"}, CliAction::Update, {"2"}},
        // Several drives, wherever the options are; a drive named twice is sorted out once
        // the drives are known (a row and a node may name the same one).
        {{"--update", "0", "3", "--yes", "/dev/sg5", "0"},
         CliAction::Update,
         {"0", "3", "/dev/sg5", "0"}},
        {{"--update=1", "2"}, CliAction::Update, {"1", "2"}},
        // An option after --update is an option, and "--" ends the options.
        {{"--update", "-y", "0"}, CliAction::Update, {"0"}},
        {{"--update", "--", "0"}, CliAction::Update, {"0"}},
        {{"--update", "--", "-odd-node", "1"}, CliAction::Update, {"-odd-node", "1"}},
        {{"--json", "--all", "--yes"}, CliAction::All, {}},
        {{"--help"}, CliAction::Help, {}},
        {{"--check"}, CliAction::Check, {}},
        {{"--check", "--all", "--json"}, CliAction::Check, {}},
        {{"--all", "--check"}, CliAction::Check, {}},
        {{"--check", "/dev/sg1", "--allow-reinstall"}, CliAction::Check, {"/dev/sg1"}},
        {{"--check=2"}, CliAction::Check, {"2"}},
        {{"--version"}, CliAction::Version, {}},
    };
    for (const Case& c : cases) {
        const CliParse parse = Parse(c.words);
        EXPECT_EQ(parse.error, "") << c.words.size();
        EXPECT_EQ(parse.options.action, c.action);
        EXPECT_EQ(parse.options.drives, c.drives);
    }
    EXPECT_TRUE(Parse({"--update", "-y", "0"}).options.yes);
    const CliParse all = Parse(
        {"--update", "0", "--yes", "--allow-reinstall", "--allow-older", "--restart", "--json"});
    EXPECT_TRUE(all.options.yes && all.options.allowReinstall && all.options.allowOlder &&
                all.options.restart && all.options.json);
}

// The short forms and the end of options, as the tools an operator knows spell them.
TEST(CliOptions, ShortFormsAndTheEndOfOptions) {
    const CliParse bundled = Parse({"--update", "0", "-yv", "-v"});
    EXPECT_EQ(bundled.error, "");
    EXPECT_TRUE(bundled.options.yes);
    EXPECT_EQ(bundled.options.verbosity, 2);
    EXPECT_EQ(Parse({"-h"}).options.action, CliAction::Help);
    EXPECT_EQ(Parse({"-V"}).options.action, CliAction::Version);
    EXPECT_TRUE(Parse({"--check", "-q"}).options.quiet);
    // After "--" a word is the drive, even one that looks like an option.
    const CliParse ended = Parse({"--check", "--", "-odd-node"});
    EXPECT_EQ(ended.error, "");
    EXPECT_EQ(ended.options.drives, std::vector<std::string>{"-odd-node"});
    EXPECT_EQ(Parse({"--check", "--", "1", "2"}).error, "unexpected argument '2'");
}

TEST(CliOptions, MisuseIsRefusedWithItsReason) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--versoin"}, "unknown option '--versoin'"},
        {{"sg0"}, "unexpected argument 'sg0'"},
        {{"-x"}, "unknown option '-x'"},
        {{"-yx"}, "unknown option '-x'"},
        {{"--list", "0"}, "unexpected argument '0'"},
        {{"--json=yes", "--list"}, "--json takes no value"},
        {{"--list", "-q", "-v"}, "--quiet and --verbose cannot be combined"},
        {{"--update"}, "--update needs a drive"},
        // An option is never taken for the drive.
        {{"--update", "-y"}, "--update needs a drive"},
        {{"--update", "--yes", "--"}, "--update needs a drive"},
        {{"--update="}, "--update= needs a drive"},
        {{"--check="}, "--check= needs a drive"},
        {{"--check", "0", "1"}, "unexpected argument '1'"},
        {{"--record=f.json", "0", "1"}, "unexpected argument '1'"},
        {{"--all", "--check", "0"}, "--check takes a drive or --all, not both"},
        {{"--list", "--all"},
         "--list, --update, --all, --check, --record, --history, --help and --version cannot be "
         "combined"},
        {{"--version", "--help"},
         "--list, --update, --all, --check, --record, --history, --help and --version cannot be "
         "combined"},
        {{"--all", "--all"}, "an option is given more than once"},
        {{"--all", "--yes", "--yes"}, "an option is given more than once"},
        {{"--json"}, "--json needs --list, --update, --all, --check or --history"},
        {{"--check", "0", "--all"}, "--check takes a drive or --all, not both"},
        {{"--check", "--yes"}, "--yes needs --update or --all"},
        {{"--yes"}, "--yes needs --update or --all"},
        {{"--list", "--allow-reinstall"}, "--allow-reinstall needs --update or --all"},
        {{"--list", "--allow-older"}, "--allow-older needs --update or --all"},
        {{"--update", "0", "--force"}, "unknown option '--force'"},
        {{"--restart"}, "--restart needs --update or --all"},
        {{"--drives", "x.json"}, "unknown option '--drives'"},
        {{"--list", "--trace="}, "--trace= needs a file"},
        {{"--list", "--trace", "--trace=t.txt"}, "an option is given more than once"},
    };
    for (const auto& [words, error] : cases) {
        EXPECT_EQ(Parse(words).error, error) << words.front();
    }
}

TEST(CliOptions, TraceGoesToStandardErrorOrTheFileAfterTheEqualsSign) {
    struct Case {
        std::vector<std::string> words;
        std::optional<std::string> trace;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"--list"}, std::nullopt, ""},
        {{"--list", "--trace"}, "", ""},
        {{"--trace=run.txt", "--update", "/dev/sg1", "--yes"}, "run.txt", ""},
        {{"--trace"}, "", ""},  // the window, traced
        // A file is only ever given after "=": the next word is never taken for one.
        {{"--trace", "run.txt", "--list"}, "", "unexpected argument 'run.txt'"},
    };
    for (const Case& c : cases) {
        const CliParse parse = Parse(c.words);
        EXPECT_EQ(parse.error, c.error) << c.words.front();
        if (c.error.empty()) {
            EXPECT_EQ(parse.options.trace, c.trace) << c.words.front();
        }
    }
}

TEST(CliOptions, TheEmulatedProgramAlsoTakesAScenarioFile) {
    const CliParse parse = Parse({"--drives=s.json", "--list"}, true);
    EXPECT_EQ(parse.error, "");
    EXPECT_EQ(parse.options.drivesFile, "s.json");
    EXPECT_EQ(Parse({"--drives"}, true).error, "--drives needs a scenario file");
    EXPECT_EQ(Parse({"--drives", "a", "--drives", "b"}, true).error,
              "--drives is given more than once");
}

}  // namespace
}  // namespace flashtool
