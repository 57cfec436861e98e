#include "bus_probe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace zirvak {

namespace {

using Clock = std::chrono::steady_clock;

// An address value with its %-escapes undone.
std::string Unescape(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            const std::string hex = value.substr(i + 1, 2);
            char* end = nullptr;
            const long byte = std::strtol(hex.c_str(), &end, 16);
            if (hex.size() == 2 && end == hex.c_str() + 2) {
                out += char(byte);
                i += 2;
                continue;
            }
        }
        out += value[i];
    }
    return out;
}

// The socket of the first address when it is a local one: its path, and whether the path is
// in the abstract namespace.
struct LocalSocket {
    std::string path;
    bool abstract = false;
};

std::optional<LocalSocket> LocalSocketOf(const std::string& addresses) {
    const std::string first = addresses.substr(0, addresses.find(';'));
    if (first.rfind("unix:", 0) != 0) return std::nullopt;
    for (size_t at = 5; at < first.size();) {
        const size_t comma = std::min(first.find(',', at), first.size());
        const std::string pair = first.substr(at, comma - at);
        if (pair.rfind("path=", 0) == 0) return LocalSocket{Unescape(pair.substr(5)), false};
        if (pair.rfind("abstract=", 0) == 0) return LocalSocket{Unescape(pair.substr(9)), true};
        at = comma + 1;
    }
    return std::nullopt;
}

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

}  // namespace

bool SessionBusAnswers(std::string& why) {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address == nullptr || *address == '\0') return true;
    const std::optional<LocalSocket> socketOf = LocalSocketOf(address);
    if (!socketOf) return true;
    sockaddr_un name{};
    name.sun_family = AF_UNIX;
    const size_t offset = socketOf->abstract ? 1 : 0;  // abstract names start with a NUL
    if (socketOf->path.empty() || socketOf->path.size() + offset >= sizeof name.sun_path) {
        why = "the bus address is not usable";
        return false;
    }
    std::memcpy(name.sun_path + offset, socketOf->path.data(), socketOf->path.size());
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + offset +
                                       socketOf->path.size() + (socketOf->abstract ? 0 : 1));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return true;  // nothing learnt: the bus library decides
    const auto deadline = Clock::now() + std::chrono::milliseconds(kBusAnswerMs);
    bool answered = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&name), length) != 0 &&
        errno != EINPROGRESS && errno != EAGAIN) {
        why = "cannot reach the bus at " + socketOf->path + ": " + std::strerror(errno);
    } else {
        // The greeting every bus client starts with; any reply line means a bus is there.
        char greeting[64];
        const int size = std::snprintf(greeting, sizeof greeting, "%cAUTH EXTERNAL ", '\0');
        std::string hello(greeting, size_t(size));
        for (const char c : std::to_string(::getuid())) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", unsigned(static_cast<unsigned char>(c)));
            hello += hex;
        }
        hello += "\r\n";
        size_t sent = 0;
        pollfd wait{fd, POLLOUT, 0};
        while (sent < hello.size() && ::poll(&wait, 1, RemainingMs(deadline)) > 0) {
            const ssize_t n = ::send(fd, hello.data() + sent, hello.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += size_t(n);
        }
        wait = {fd, POLLIN, 0};
        char reply[16];
        if (sent == hello.size() && ::poll(&wait, 1, RemainingMs(deadline)) > 0 &&
            ::recv(fd, reply, sizeof reply, 0) > 0)
            answered = true;
        else
            why = "the bus at " + socketOf->path + " does not answer";
    }
    ::close(fd);
    return answered;
}

}  // namespace zirvak
