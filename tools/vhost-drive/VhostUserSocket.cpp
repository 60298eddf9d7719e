// The socket side of VhostUserDevice: listening, reading one message with the descriptors
// that come with it, writing replies, and waiting on the socket and the kick eventfds.

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/vhost-drive/VhostUserDevice.h"

namespace flashtool {

namespace vu = vhost_user;

namespace {

struct Message {
    vu::Header header;
    std::vector<uint8_t> payload;
    std::vector<int> fds;
};

bool ReadExactly(int fd, uint8_t* out, size_t length) {
    while (length > 0) {
        const ssize_t got = read(fd, out, length);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        out += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

// Nothing when the front-end went away or sent something that is not a message.
std::optional<Message> ReadMessage(int socket) {
    std::array<uint8_t, vu::kHeaderSize> header{};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * vu::kMaxFds)];
    iovec vector{header.data(), header.size()};
    msghdr message{};
    message.msg_iov = &vector;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t got;
    do {
        got = recvmsg(socket, &message, MSG_CMSG_CLOEXEC | MSG_WAITALL);
    } while (got < 0 && errno == EINTR);
    Message out;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            out.fds.resize(count);
            std::memcpy(out.fds.data(), CMSG_DATA(c), count * sizeof(int));
        }
    }
    const auto parsed = vu::ParseHeader(std::span(header).first(got > 0 ? got : 0));
    if (!parsed || (message.msg_flags & MSG_CTRUNC) || parsed->size > vu::kMaxPayload) {
        for (const int fd : out.fds) {
            close(fd);
        }
        return std::nullopt;
    }
    out.header = *parsed;
    out.payload.resize(parsed->size);
    if (!ReadExactly(socket, out.payload.data(), out.payload.size())) {
        for (const int fd : out.fds) {
            close(fd);
        }
        return std::nullopt;
    }
    return out;
}

bool SendReply(int socket, uint32_t request, const std::vector<uint8_t>& payload) {
    const auto header = vu::EncodeHeader(
        {request, vu::kVersion | vu::kReplyFlag, static_cast<uint32_t>(payload.size())});
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

int Listen(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    unlink(path.c_str());
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 1) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    return fd;
}

}  // namespace

int VhostUserDevice::Run(const std::string& socketPath) {
    const int listener = Listen(socketPath);
    if (listener < 0) {
        Log("cannot listen on %s: %s", socketPath.c_str(), std::strerror(errno));
        return 1;
    }
    const int socket = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    close(listener);
    if (socket < 0) {
        Log("accept failed: %s", std::strerror(errno));
        return 1;
    }
    Step step;
    do {
        step = ServeOnce(socket);
    } while (step == Step::Continue);
    close(socket);
    return step == Step::Disconnected ? 0 : 1;
}

VhostUserDevice::Step VhostUserDevice::ServeOnce(int socket) {
    std::vector<pollfd> waits{{socket, POLLIN, 0}};
    std::vector<uint32_t> ringOf{0};
    for (uint32_t i = 0; i < kMaxQueues; ++i) {
        if (rings[i].kick >= 0 && Serving(rings[i])) {
            waits.push_back({rings[i].kick, POLLIN, 0});
            ringOf.push_back(i);
        }
    }
    if (poll(waits.data(), waits.size(), -1) < 0) {
        if (errno == EINTR) {
            return Step::Continue;
        }
        Log("poll failed: %s", std::strerror(errno));
        return Step::Failed;
    }
    for (size_t k = 1; k < waits.size(); ++k) {
        if (waits[k].revents & POLLIN) {
            uint64_t count;
            if (read(waits[k].fd, &count, sizeof count) < 0 && errno != EAGAIN) {
                Log("ring %u: kick read failed", ringOf[k]);
            }
            if (verbose) {
                Log("ring %u kicked", ringOf[k]);
            }
            ServeRing(ringOf[k]);
        }
    }
    if (!(waits[0].revents & (POLLIN | POLLHUP | POLLERR))) {
        return Step::Continue;
    }
    auto message = ReadMessage(socket);
    if (!message) {
        return Step::Disconnected;
    }
    if (verbose) {
        Log("request %u size %u fds %zu", message->header.request, message->header.size,
            message->fds.size());
    }
    bool ok = true;
    const auto reply = Handle(message->header, message->payload, message->fds, ok);
    if (!ok) {
        Log("request %u refused", message->header.request);
    }
    if (reply && !SendReply(socket, message->header.request, *reply)) {
        Log("cannot reply: %s", std::strerror(errno));
        return Step::Failed;
    }
    return Step::Continue;
}

}  // namespace flashtool
