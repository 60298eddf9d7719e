#pragma once

// One start of a program on a private X server, measured from its exec to the moment its
// first window is on the screen: mapped, and drawn into (the X server's DAMAGE extension
// reports the drawing, so the program's own paint counts, not just its map request). At
// that moment the program is killed, and its CPU time and peak memory are read from the
// kernel's account of it (all its threads, to the microsecond and the kilobyte).

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace flashtool::bench {

struct StartMeasure {
    double wallMs = 0;
    double cpuMs = 0;       // user and system time of every thread of the process
    double peakRssMiB = 0;  // its high-water mark of resident memory
    int width = 0;          // the first window drawn
    int height = 0;
};

// Xvfb on a display number it picks itself (-displayfd), killed with the object.
class PrivateXServer {
public:
    // Nothing, and `error` says why, when Xvfb is missing or does not start.
    static std::unique_ptr<PrivateXServer> Start(std::string& error);
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& Display() const { return display; }

private:
    PrivateXServer(pid_t pid, std::string display) : pid(pid), display(std::move(display)) {}
    pid_t pid;
    std::string display;
};

// A client of that server that watches the screen: new top-level windows as they are mapped,
// and every drawing on the screen.
class NoticeWatch {
public:
    static std::unique_ptr<NoticeWatch> Connect(const std::string& display, std::string& error);
    ~NoticeWatch();
    NoticeWatch(const NoticeWatch&) = delete;
    NoticeWatch& operator=(const NoticeWatch&) = delete;

    // Starts `argv` (its first word the program's path) with `environment` and measures it
    // to its first window drawn; nothing, and `error` says why, when it ends or shows
    // nothing within the time-out.
    std::optional<StartMeasure> Measure(const std::vector<std::string>& argv,
                                        const std::vector<std::string>& environment,
                                        std::string& error);

private:
    struct Connection;
    explicit NoticeWatch(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> x;
};

}  // namespace flashtool::bench
