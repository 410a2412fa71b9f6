#include "sim/room_support.h"

#include <algorithm>
#include <cstdio>
#include <thread>

#include "sim/websocket_server.h"

namespace sim {

std::string jsonQuoted(const std::string& utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string bigEndian16(std::size_t value) {
    return {static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
}

std::uint16_t readBigEndian16(const char* bytes) {
    return static_cast<std::uint16_t>((static_cast<unsigned char>(bytes[0]) << 8) |
                                      static_cast<unsigned char>(bytes[1]));
}

namespace {

// Works for any end that says whether it is still open.
template <typename End>
bool pauseOn(End& end, std::chrono::steady_clock::time_point until) {
    constexpr auto kSlice = std::chrono::milliseconds(2);
    for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now()) {
        if (!end.isOpen()) {
            return false;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kSlice, until - now));
    }
    return end.isOpen();
}

}  // namespace

bool pauseUntil(Connection& connection, std::chrono::steady_clock::time_point until) {
    return pauseOn(connection, until);
}

bool pauseUntil(WebSocketPeer& peer, std::chrono::steady_clock::time_point until) {
    return pauseOn(peer, until);
}

bool pauseWhileOpen(Connection& connection, std::chrono::milliseconds delay) {
    return pauseOn(connection, std::chrono::steady_clock::now() + delay);
}

bool pauseWhileOpen(WebSocketPeer& peer, std::chrono::milliseconds delay) {
    return pauseOn(peer, std::chrono::steady_clock::now() + delay);
}

bool playScript(Connection& connection, const RoomScript& script,
                const std::function<bool(const ScriptEvent&)>& send) {
    // Delays count from the previous event's due time, not from when it was
    // written, so a long script keeps its rate.
    auto due = std::chrono::steady_clock::now();
    do {
        for (const auto& event : script.events) {
            due += event.delay;
            if (!pauseUntil(connection, due) || !send(event)) {
                return false;
            }
        }
        // An empty looping script would spin here without ever pausing.
    } while (script.loop && !script.events.empty() && connection.isOpen());
    return connection.isOpen();
}

}  // namespace sim
