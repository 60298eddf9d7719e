#include "history/HistoryPlace.h"

namespace flashtool {

namespace {

bool Usable(const std::optional<std::filesystem::path>& folder) {
    return folder && !folder->empty();
}

// Absolute by Linux's rule, whatever the system the rules are evaluated on (the tests run
// every row of the table on every build).
bool Rooted(const std::optional<std::filesystem::path>& folder) {
    return Usable(folder) && folder->u8string().front() == u8'/';
}

}  // namespace

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<HistoryPlace> HistoryPlaceFor(const HistoryEnvironment& environment,
                                            std::string_view program) {
    const std::filesystem::path name{std::string(program)};
    if (environment.windows ? Usable(environment.historyDir) : Rooted(environment.historyDir)) {
        return HistoryPlace{*environment.historyDir, environment.root && !environment.windows};
    }
    if (environment.windows) {
        if (!Usable(environment.localAppData)) {
            return std::nullopt;
        }
        return HistoryPlace{*environment.localAppData / name, false};
    }
    if (environment.root) {
        return HistoryPlace{std::filesystem::path("/var/lib") / name, true};
    }
    if (Rooted(environment.xdgStateHome)) {
        return HistoryPlace{*environment.xdgStateHome / name, false};
    }
    if (Rooted(environment.home)) {
        return HistoryPlace{*environment.home / ".local" / "state" / name, false};
    }
    return std::nullopt;
}

}  // namespace flashtool
