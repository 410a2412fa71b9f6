// A simulated live room of one platform: its web pages and chat servers on
// loopback, playing a script of chat lines, gifts and room entries to every
// client that joins. The tests, the benchmarks and `sonaro --demo` use it.
//
// Threads: construct, query and destroy from one thread; the servers run on
// threads of their own.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct ScriptEvent {
    enum class Kind { Chat, Gift, Enter };
    Kind kind = Kind::Chat;
    std::string nickname;                // UTF-8
    std::string text;                    // UTF-8: the chat line, or the gift's display name
    int count = 1;                       // gifts: number of items
    std::chrono::milliseconds delay{0};  // pause before this event
};

struct RoomScript {
    std::vector<ScriptEvent> events;
    bool loop = false;  // start again after the last event
};

class SimulatedRoom {
  public:
    virtual ~SimulatedRoom() = default;

    // The room number a host would type.
    virtual std::string roomNumber() const = 0;

    // Environment variables (name, value) that point the platform's client at
    // this room: one of its platform's host variables and "127.0.0.1:40123" or a
    // base URL on loopback.
    virtual std::vector<std::pair<std::string, std::string>> hostSettings() const = 0;
};

// The room of the platform at `platformIndex` in the platform list, or nothing
// when that platform's simulation is not built in.
std::unique_ptr<SimulatedRoom> makeRoom(int platformIndex, const RoomScript& script);

}  // namespace sim
