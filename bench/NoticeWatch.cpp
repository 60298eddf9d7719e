#include "bench/NoticeWatch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace flashtool::bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kStartTimeOut = std::chrono::seconds(30);

std::vector<char*> Pointers(const std::vector<std::string>& words) {
    std::vector<char*> pointers;
    for (const std::string& word : words) {
        pointers.push_back(const_cast<char*>(word.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

double Milliseconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
}

// Reads one line from `fd` within `limit`: Xvfb writes its display number there once it
// takes connections.
std::string ReadLine(int fd, std::chrono::milliseconds limit) {
    std::string line;
    const auto end = Clock::now() + limit;
    while (line.find('\n') == std::string::npos && Clock::now() < end) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[32];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        line.append(buffer, static_cast<size_t>(got));
    }
    return line.substr(0, line.find('\n'));
}

}  // namespace

std::unique_ptr<PrivateXServer> PrivateXServer::Start(std::string& error) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        error = "no pipe for Xvfb's display number";
        return nullptr;
    }
    const std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(pipeFds[1]),
                                           "-screen",   "0",          "1280x1024x24",
                                           "-nolisten", "tcp",        "-noreset"};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    auto words = Pointers(argv);
    const int spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, words.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    const std::string number =
        spawned == 0 ? ReadLine(pipeFds[0], std::chrono::seconds(20)) : std::string();
    close(pipeFds[0]);
    if (number.empty()) {
        error = spawned == 0 ? "Xvfb did not start" : "Xvfb is not installed (package xvfb)";
        if (spawned == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        return nullptr;
    }
    return std::unique_ptr<PrivateXServer>(new PrivateXServer(pid, ":" + number));
}

PrivateXServer::~PrivateXServer() {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

struct NoticeWatch::Connection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    uint8_t damageEvent = 0;  // the first event code of DAMAGE
    ~Connection() { xcb_disconnect(connection); }
};

NoticeWatch::NoticeWatch(std::unique_ptr<Connection> connection) : x(std::move(connection)) {}
NoticeWatch::~NoticeWatch() = default;

std::unique_ptr<NoticeWatch> NoticeWatch::Connect(const std::string& display, std::string& error) {
    auto x = std::make_unique<Connection>();
    x->connection = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(x->connection) != 0) {
        error = "cannot connect to the X server " + display;
        return nullptr;
    }
    const xcb_query_extension_reply_t* damage =
        xcb_get_extension_data(x->connection, &xcb_damage_id);
    if (damage == nullptr || damage->present == 0) {
        error = "the X server has no DAMAGE extension";
        return nullptr;
    }
    x->damageEvent = damage->first_event;
    free(xcb_damage_query_version_reply(x->connection,
                                        xcb_damage_query_version(x->connection, 1, 1), nullptr));
    x->root = xcb_setup_roots_iterator(xcb_get_setup(x->connection)).data->root;
    // Top-level windows are the root's children: their maps come as the root's substructure
    // events. A damage object on the root reports drawing in any window on the screen.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x->connection, x->root, XCB_CW_EVENT_MASK, &mask);
    xcb_damage_create(x->connection, xcb_generate_id(x->connection), x->root,
                      XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    xcb_flush(x->connection);
    return std::unique_ptr<NoticeWatch>(new NoticeWatch(std::move(x)));
}

namespace {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    bool Meets(const xcb_rectangle_t& area) const {
        return area.x < x + width && x < area.x + area.width && area.y < y + height &&
               y < area.y + area.height;
    }
};

// Waits for the first top-level window that is mapped and then drawn into; the moment it
// was drawn, or nothing when `pid` ends first or the time runs out.
std::optional<Clock::time_point> WaitForDrawnWindow(xcb_connection_t* connection, xcb_window_t root,
                                                    uint8_t damageEvent, pid_t pid, Rect& shown,
                                                    bool& ended, std::string& error) {
    const auto deadline = Clock::now() + kStartTimeOut;
    std::optional<Rect> mapped;
    while (Clock::now() < deadline) {
        xcb_generic_event_t* event = xcb_poll_for_event(connection);
        if (event == nullptr) {
            if (xcb_connection_has_error(connection) != 0) {
                error = "the X server went away";
                return std::nullopt;
            }
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                ended = true;
                error = "the program ended before it showed a window";
                return std::nullopt;
            }
            pollfd ready{xcb_get_file_descriptor(connection), POLLIN, 0};
            poll(&ready, 1, 20);
            continue;
        }
        const uint8_t type = event->response_type & 0x7F;
        if (type == XCB_MAP_NOTIFY && !mapped) {
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
            if (map->event == root && map->override_redirect == 0) {
                xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(
                    connection, xcb_get_geometry(connection, map->window), nullptr);
                if (geometry != nullptr) {
                    mapped = Rect{geometry->x, geometry->y, geometry->width, geometry->height};
                    free(geometry);
                }
            }
        } else if (type == damageEvent + XCB_DAMAGE_NOTIFY && mapped) {
            const auto* damage = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
            if (mapped->Meets(damage->area)) {
                free(event);
                shown = *mapped;
                return Clock::now();
            }
        }
        free(event);
    }
    error = "no window was drawn within the time-out";
    return std::nullopt;
}

}  // namespace

std::optional<StartMeasure> NoticeWatch::Measure(const std::vector<std::string>& argv,
                                                 const std::vector<std::string>& environment,
                                                 std::string& error) {
    // What earlier runs left in the queue belongs to them.
    while (xcb_generic_event_t* stale = xcb_poll_for_event(x->connection)) {
        free(stale);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    auto words = Pointers(argv);
    auto variables = Pointers(environment);
    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned =
        posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, words.data(), variables.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = "cannot start " + argv[0] + ": " + std::strerror(spawned);
        return std::nullopt;
    }
    Rect shown;
    bool ended = false;
    const auto drawn =
        WaitForDrawnWindow(x->connection, x->root, x->damageEvent, pid, shown, ended, error);
    if (ended) {
        return std::nullopt;
    }
    // Its account is read once it has ended: killed as soon as its window was drawn, it has
    // done nothing since.
    kill(pid, SIGKILL);
    rusage usage{};
    int status = 0;
    wait4(pid, &status, 0, &usage);
    if (!drawn) {
        return std::nullopt;
    }
    StartMeasure measure;
    measure.wallMs = std::chrono::duration<double, std::milli>(*drawn - start).count();
    measure.cpuMs = Milliseconds(usage.ru_utime) + Milliseconds(usage.ru_stime);
    measure.peakRssMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    measure.width = shown.width;
    measure.height = shown.height;
    return measure;
}

}  // namespace flashtool::bench
