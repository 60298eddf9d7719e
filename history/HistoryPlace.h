#pragma once

// Where the history lives. The rules are a function of the environment passed in, so that
// each case can be tested without changing the process's own environment.
//
//   FLASHTOOL_HISTORY_DIR set (absolute)  that folder (tests, and a program over emulated drives)
//   Linux, effective user root            /var/lib/<program>  (the machine's drives: one history)
//   Linux, XDG_STATE_HOME set (absolute)  $XDG_STATE_HOME/<program>
//   Linux, otherwise                      $HOME/.local/state/<program>
//   Windows                               %LOCALAPPDATA%\<program>
//
// A relative XDG_STATE_HOME is ignored, as the base-directory rules ask.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace flashtool {

struct HistoryEnvironment {
    bool windows = false;
    bool root = false;                                  // the effective user id is 0
    std::optional<std::filesystem::path> historyDir;    // FLASHTOOL_HISTORY_DIR
    std::optional<std::filesystem::path> xdgStateHome;  // XDG_STATE_HOME
    std::optional<std::filesystem::path> home;          // HOME, else the password entry's
    std::optional<std::filesystem::path> localAppData;  // %LOCALAPPDATA%
};

struct HistoryPlace {
    std::filesystem::path directory;
    // Root's history, in a system folder: readable by every user (folder 0755, file 0644).
    // A user's is theirs alone (0700, 0600).
    bool shared = false;
};

// A path as UTF-8 text, for messages: never throws, whatever the system's code page.
std::string PathText(const std::filesystem::path& path);

// None when the environment names no place (no home at all).
std::optional<HistoryPlace> HistoryPlaceFor(const HistoryEnvironment& environment,
                                            std::string_view program = "flashtool");

// This process's environment (HistoryFilePosix.cpp, HistoryFileWindows.cpp).
HistoryEnvironment CurrentHistoryEnvironment();

}  // namespace flashtool
