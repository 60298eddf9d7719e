#include "history/HistoryPlace.h"

namespace flashtool {

namespace {

bool Usable(const std::optional<std::filesystem::path>& folder) {
    return folder && !folder->empty();
}

}  // namespace

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<HistoryPlace> HistoryPlaceFor(const HistoryEnvironment& environment,
                                            std::string_view program) {
    const std::filesystem::path name{std::string(program)};
    if (Usable(environment.historyDir) &&
        (environment.windows || environment.historyDir->is_absolute())) {
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
    if (Usable(environment.xdgStateHome) && environment.xdgStateHome->is_absolute()) {
        return HistoryPlace{*environment.xdgStateHome / name, false};
    }
    if (Usable(environment.home) && environment.home->is_absolute()) {
        return HistoryPlace{*environment.home / ".local" / "state" / name, false};
    }
    return std::nullopt;
}

}  // namespace flashtool
