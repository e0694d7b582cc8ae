// Whether the compositor offers a seat, asked of a stand-in compositor on a socket of the test's
// own: the registry it announces, with or without wl_seat, and sockets that answer nothing.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/WaylandSeat.h"
#include "fake/TestFolders.h"

namespace {

// wl_registry.global(name, interface, 1) from object 2.
void AddGlobal(std::vector<uint32_t>& out, uint32_t name, const std::string& interface) {
    const uint32_t length = static_cast<uint32_t>(interface.size() + 1);
    const uint32_t padded = (length + 3) / 4;
    out.insert(out.end(), {2u, (4 * (5 + padded)) << 16, name, length});
    std::vector<uint32_t> text(padded, 0);
    std::memcpy(text.data(), interface.c_str(), interface.size());
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(1);
}

TEST(WaylandSeat, TheRegistryDecides) {
    const struct {
        const char* name;
        std::vector<std::string> globals;
        bool answers;
        std::optional<bool> want;
    } rows[] = {
        {"a desktop", {"wl_compositor", "wl_seat", "wl_shm"}, true, true},
        {"a kiosk without a seat", {"wl_compositor", "wl_shm"}, true, false},
        {"a socket that never answers", {}, false, std::nullopt},
    };
    for (const auto& r : rows) {
        TempDir dir;
        const std::string path = dir / "wayland-0";
        const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, path.c_str());
        ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(listen(listener, 1), 0);
        std::thread compositor([&] {
            const int client = accept(listener, nullptr, nullptr);
            uint32_t requests[6];
            if (client < 0 || recv(client, requests, sizeof requests, MSG_WAITALL) != 24) return;
            std::vector<uint32_t> reply;
            uint32_t name = 0;
            for (const std::string& g : r.globals) AddGlobal(reply, ++name, g);
            reply.insert(reply.end(), {3u, 12u << 16, 7u});  // wl_callback.done
            if (r.answers) send(client, reply.data(), reply.size() * 4, MSG_NOSIGNAL);
            usleep(300000);
            close(client);
        });
        EXPECT_EQ(app::WaylandOffersSeat(path, 200), r.want) << r.name;
        compositor.join();
        close(listener);
    }
    EXPECT_EQ(app::WaylandOffersSeat("/nonexistent/wayland-0"), std::nullopt) << "no socket";
}

}  // namespace
