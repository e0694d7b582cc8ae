#include "app/WaylandSeat.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace app {

namespace {

// Object ids of the requests below: the display is 1; the registry and the sync's callback are
// the first ids the client allocates.
constexpr uint32_t kDisplay = 1, kRegistry = 2, kCallback = 3;

uint32_t Word(const std::vector<uint8_t>& buf, size_t at) {
    uint32_t w;
    std::memcpy(&w, buf.data() + at, sizeof w);
    return w;
}

// wl_registry.global(name, interface, version): whether `interface` is the seat's.
bool IsSeatGlobal(const std::vector<uint8_t>& buf, size_t args, size_t end) {
    if (args + 8 > end) return false;
    const uint32_t length = Word(buf, args + 4);  // with its NUL
    if (length == 0 || args + 8 + length > end) return false;
    return std::string_view(reinterpret_cast<const char*>(buf.data() + args + 8), length - 1) ==
           "wl_seat";
}

}  // namespace

std::string WaylandSocketPath() {
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) return {};
    if (*name == '/') return name;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    return std::string(runtime) + "/" + name;
}

std::optional<bool> WaylandOffersSeat(const std::string& socketPath, int timeoutMs) {
    sockaddr_un addr{};
    if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return std::nullopt;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, socketPath.data(), socketPath.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0)
        return std::nullopt;
    // wl_display.get_registry(new registry), then wl_display.sync(new callback): the callback's
    // done comes after every global the registry announces.
    const uint32_t requests[] = {kDisplay, (12u << 16) | 1, kRegistry,
                                 kDisplay, (12u << 16) | 0, kCallback};
    if (send(fd, requests, sizeof requests, MSG_NOSIGNAL) != sizeof requests) return std::nullopt;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> buf;
    size_t at = 0;
    bool seat = false;
    for (;;) {
        while (at + 8 <= buf.size()) {
            const uint32_t object = Word(buf, at), sizeOp = Word(buf, at + 4);
            const size_t size = sizeOp >> 16;
            if (size < 8 || size % 4 != 0) return std::nullopt;
            if (at + size > buf.size()) break;
            const uint32_t opcode = sizeOp & 0xFFFF;
            if (object == kDisplay && opcode == 0) return std::nullopt;  // wl_display.error
            if (object == kCallback && opcode == 0) return seat;         // wl_callback.done
            if (object == kRegistry && opcode == 0)
                seat = seat || IsSeatGlobal(buf, at + 8, at + size);
            at += size;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return std::nullopt;
        uint8_t chunk[4096];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return std::nullopt;
        buf.insert(buf.end(), chunk, chunk + n);
    }
}

}  // namespace app
