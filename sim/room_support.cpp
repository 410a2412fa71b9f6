#include "sim/room_support.h"

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

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

bool pauseUntil(const Connection& connection, std::chrono::steady_clock::time_point until) {
    constexpr auto kSlice = std::chrono::milliseconds(2);
    for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now()) {
        if (!connection.isOpen()) {
            return false;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kSlice, until - now));
    }
    return connection.isOpen();
}

bool pauseWhileOpen(const Connection& connection, std::chrono::milliseconds delay) {
    return pauseUntil(connection, std::chrono::steady_clock::now() + delay);
}

bool playScript(const Connection& connection, const RoomScript& script,
                const std::function<bool(const ScriptEvent&)>& send) {
    return playBursts(connection, script, [&](const std::vector<BurstEvent>& burst) {
        return std::all_of(burst.begin(), burst.end(), [&](const BurstEvent& b) { return send(b.event); });
    });
}

bool playBursts(const Connection& connection, const RoomScript& script,
                const std::function<bool(const std::vector<BurstEvent>&)>& send) {
    auto due = std::chrono::steady_clock::now();
    int serial = 0;
    do {
        const auto& events = script.events;
        for (std::size_t i = 0; i < events.size();) {
            due += events[i].delay;
            std::vector<BurstEvent> burst;
            do {
                burst.push_back({events[i], ++serial});
                ++i;
            } while (i < events.size() && events[i].delay.count() == 0);
            if (!pauseUntil(connection, due) || !send(burst)) {
                return false;
            }
        }
        // An empty looping script would spin here without ever pausing.
    } while (script.loop && !script.events.empty() && connection.isOpen());
    return connection.isOpen();
}

}  // namespace sim
