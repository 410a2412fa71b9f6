// A simulated Longzhu room: the room page that names the chat-room id, and the
// chat-room API that hands out the script's chat lines and gifts batch by
// batch, each reply telling the client the cursor and the delay of its next
// request. Switches make either server answer badly.
//
// Threads: construct, configure, query and destroy from any thread (state is
// locked); the two HTTP servers answer on threads of their own.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/http_server.h"
#include "sim/room.h"

namespace sim {

enum class LongzhuPageFault {
    None,
    NoAnswer,  // the connection closes without an answer: the fetch fails
    NoMarker,  // a page without the chat-room id
    ZeroId,    // the id is 0
};

enum class LongzhuPollFault {
    None,
    NoAnswer,       // the connection closes without an answer
    Truncated,      // the body breaks off halfway
    EmptyBody,      // 200 with nothing in it
    NotJson,        // cut-off JSON
    MissingCursor,  // valid JSON without "next" and "from"
    WrongType,      // "next" is a word, not a number
    BadMessage,     // a good chat line, then a gift without its sender
};

// One poll as the room saw it.
struct LongzhuPollRecord {
    std::string target;   // path as requested
    std::string referer;  // the Referer header, empty when none
    std::chrono::steady_clock::time_point at;
};

class LongzhuRoom : public SimulatedRoom {
  public:
    explicit LongzhuRoom(RoomScript script);

    std::string roomNumber() const override { return "520"; }
    std::vector<std::pair<std::string, std::string>> hostSettings() const override;

    std::int32_t chatRoomId() const { return 77013; }
    std::string pageHost() const { return page_.hostPort(); }

    // The "next" every good reply carries (seconds to the platform's client).
    void setReplyDelay(std::int32_t next);
    void setPageFault(LongzhuPageFault fault);
    // Every poll from now on is answered with `fault` (None: answered well).
    void setPollFault(LongzhuPollFault fault);
    // The next polls are answered by `plan`, one entry each, in order; after
    // it runs out, as `setPollFault` says.
    void setPollPlan(std::vector<LongzhuPollFault> plan);

    int pageRequests() const { return page_.requests(); }
    std::vector<LongzhuPollRecord> polls() const;

  private:
    HttpResponse answerPage(const HttpRequest& request);
    HttpResponse answerPoll(const HttpRequest& request);
    std::string goodReply(std::int64_t from, std::int32_t next) const;
    LongzhuPollFault takePollFault();      // with mutex_ held
    std::int64_t availableEvents() const;  // how many script events are out by now

    const RoomScript script_;
    const std::chrono::steady_clock::time_point opened_;
    std::vector<std::chrono::milliseconds> dueAt_;  // event i is out this long after opening
    std::chrono::milliseconds cycle_{0};            // a looping script's length

    mutable std::mutex mutex_;
    std::int32_t replyDelay_ = 1;
    LongzhuPageFault pageFault_ = LongzhuPageFault::None;
    LongzhuPollFault pollFault_ = LongzhuPollFault::None;
    std::deque<LongzhuPollFault> pollPlan_;
    std::vector<LongzhuPollRecord> polls_;

    HttpServer page_;  // last: their threads use the members above
    HttpServer chat_;
};

std::unique_ptr<SimulatedRoom> makeLongzhuRoom(const RoomScript& script);

}  // namespace sim
