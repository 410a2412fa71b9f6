#include "sim/historic/longzhu/longzhu_room.h"

#include <algorithm>
#include <cstdio>

#include "sim/room_support.h"

namespace sim {

namespace {

constexpr std::string_view kPollPrefix = "/chatroom/msgsv2/";
// A client that joins (cursor 0) hears only this much of what already passed,
// and no reply carries more than a batch, so a long-running room never floods.
constexpr std::int64_t kJoinBacklog = 20;
constexpr std::int64_t kBatch = 50;

// The room's catalogue of gift keys; a gift it does not know goes out under
// its display name.
std::string itemTypeOf(const std::string& displayName) {
    static const std::pair<const char*, const char*> kCatalogue[] = {
        {"玫瑰", "rose003"}, {"鲜花", "flower"}, {"跑车", "sportscar"}, {"鱼丸", "yuwan"}, {"巨炮", "jp"},
    };
    for (const auto& [name, key] : kCatalogue) {
        if (displayName == name) {
            return key;
        }
    }
    return displayName;
}

std::string messageJson(const ScriptEvent& event, std::int64_t id) {
    std::string user = "\"user\":{\"username\":" + jsonQuoted(event.nickname) + ",\"grade\":3}";
    std::string head = "{\"id\":" + std::to_string(id) + ",\"type\":";
    switch (event.kind) {
        case ScriptEvent::Kind::Chat:
            return head + "\"chat\",\"msg\":{\"content\":" + jsonQuoted(event.text) + "," + user + "}}";
        case ScriptEvent::Kind::Gift:
            return head + "\"gift\",\"msg\":{\"itemType\":" + jsonQuoted(itemTypeOf(event.text)) +
                   ",\"number\":" + std::to_string(event.count) + "," + user + "}}";
        case ScriptEvent::Kind::Enter:
            break;
    }
    return head + "\"userjoin\",\"msg\":{" + user + "}}";
}

HttpResponse jsonAnswer(std::string body) {
    HttpResponse response;
    response.body = std::move(body);
    response.headers["Content-Type"] = "application/json; charset=utf-8";
    return response;
}

}  // namespace

LongzhuRoom::LongzhuRoom(RoomScript script)
    : script_(std::move(script)),
      opened_(std::chrono::steady_clock::now()),
      page_([this](const HttpRequest& r) { return answerPage(r); }),
      chat_([this](const HttpRequest& r) { return answerPoll(r); }) {
    std::chrono::milliseconds due{0};
    for (const auto& event : script_.events) {
        due += event.delay;
        dueAt_.push_back(due);
    }
    cycle_ = std::max(due, std::chrono::milliseconds(1000));
}

std::vector<std::pair<std::string, std::string>> LongzhuRoom::hostSettings() const {
    return {{"SONARO_LONGZHU_HOST", page_.hostPort()}, {"SONARO_LONGZHU_CHAT_HOST", chat_.hostPort()}};
}

void LongzhuRoom::setReplyDelay(std::int32_t next) {
    std::lock_guard lock(mutex_);
    replyDelay_ = next;
}

void LongzhuRoom::setPageFault(LongzhuPageFault fault) {
    std::lock_guard lock(mutex_);
    pageFault_ = fault;
}

void LongzhuRoom::setPollFault(LongzhuPollFault fault) {
    std::lock_guard lock(mutex_);
    pollFault_ = fault;
}

void LongzhuRoom::setPollPlan(std::vector<LongzhuPollFault> plan) {
    std::lock_guard lock(mutex_);
    pollPlan_.assign(plan.begin(), plan.end());
}

std::vector<LongzhuPollRecord> LongzhuRoom::polls() const {
    std::lock_guard lock(mutex_);
    return polls_;
}

std::int64_t LongzhuRoom::availableEvents() const {
    if (dueAt_.empty()) {
        return 0;
    }
    auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - opened_);
    auto outWithin = [this](std::chrono::milliseconds t) {
        return static_cast<std::int64_t>(std::upper_bound(dueAt_.begin(), dueAt_.end(), t) - dueAt_.begin());
    };
    if (!script_.loop) {
        return outWithin(elapsed);
    }
    std::int64_t cycles = elapsed / cycle_;
    return cycles * static_cast<std::int64_t>(dueAt_.size()) + outWithin(elapsed - cycles * cycle_);
}

HttpResponse LongzhuRoom::answerPage(const HttpRequest& request) {
    LongzhuPageFault fault;
    {
        std::lock_guard lock(mutex_);
        fault = pageFault_;
    }
    HttpResponse response;
    response.headers["Content-Type"] = "text/html; charset=utf-8";
    response.headers["Set-Cookie"] = "pluguest=sim; Path=/";
    if (request.target != "/" + roomNumber()) {
        response.status = 404;
        response.body = "<html><body>no such room</body></html>";
        return response;
    }
    std::string id = std::to_string(chatRoomId());
    switch (fault) {
        case LongzhuPageFault::NoAnswer:
            response.closeWithoutAnswer = true;
            return response;
        case LongzhuPageFault::NoMarker:
            id.clear();
            break;
        case LongzhuPageFault::ZeroId:
            id = "0";
            break;
        case LongzhuPageFault::None:
            break;
    }
    std::string info = id.empty() ? "\"Domain\":\"520\"" : "\"Domain\":\"520\",\"RoomId\":" + id;
    response.body = "<html><head><script>var roomInfo = {" + info +
                    ",\"Title\":\"sim\"};</script></head><body>room</body></html>";
    return response;
}

LongzhuPollFault LongzhuRoom::takePollFault() {
    if (pollPlan_.empty()) {
        return pollFault_;
    }
    LongzhuPollFault fault = pollPlan_.front();
    pollPlan_.pop_front();
    return fault;
}

HttpResponse LongzhuRoom::answerPoll(const HttpRequest& request) {
    LongzhuPollFault fault;
    std::int32_t next;
    {
        std::lock_guard lock(mutex_);
        polls_.push_back({request.target, request.header("referer"), std::chrono::steady_clock::now()});
        fault = takePollFault();
        next = replyDelay_;
    }
    int chatRoom = 0;
    long long from = 0;
    int ignoredNext = 0;
    if (request.target.compare(0, kPollPrefix.size(), kPollPrefix) != 0 ||
        std::sscanf(request.target.c_str() + kPollPrefix.size(), "%d/%lld/%d/", &chatRoom, &from,
                    &ignoredNext) != 3 ||
        chatRoom != chatRoomId()) {
        HttpResponse response;
        response.status = 404;
        response.body = "<html><body>not found</body></html>";
        return response;
    }
    std::string cursor = "\"from\":" + std::to_string(from);
    HttpResponse response;
    switch (fault) {
        case LongzhuPollFault::NoAnswer:
            response.closeWithoutAnswer = true;
            return response;
        case LongzhuPollFault::Truncated:
            response = jsonAnswer(goodReply(from, next));
            response.truncate = true;
            return response;
        case LongzhuPollFault::EmptyBody:
            return jsonAnswer("");
        case LongzhuPollFault::NotJson:
            return jsonAnswer("{\"next\":" + std::to_string(next) + ",\"from\":");
        case LongzhuPollFault::MissingCursor:
            return jsonAnswer("{\"count\":0,\"msgs\":[]}");
        case LongzhuPollFault::WrongType:
            return jsonAnswer("{\"next\":\"soon\"," + cursor + ",\"count\":0,\"msgs\":[]}");
        case LongzhuPollFault::BadMessage:
            return jsonAnswer("{\"next\":" + std::to_string(next) + "," + cursor +
                              ",\"count\":2,\"msgs\":[{\"type\":\"chat\",\"msg\":{\"content\":\"before the "
                              "fault\",\"user\":{\"username\":\"sentinel\"}}},{\"type\":\"gift\",\"msg\":{"
                              "\"itemType\":\"flower\",\"number\":1}}]}");
        case LongzhuPollFault::None:
            break;
    }
    return jsonAnswer(goodReply(from, next));
}

std::string LongzhuRoom::goodReply(std::int64_t from, std::int32_t next) const {
    std::int64_t available = availableEvents();
    std::int64_t first = from == 0 ? std::max<std::int64_t>(1, available - kJoinBacklog + 1) : from + 1;
    std::int64_t last = std::min(available, first + kBatch - 1);
    std::string msgs;
    for (std::int64_t seq = first; seq <= last; ++seq) {
        const auto& event = script_.events[static_cast<std::size_t>((seq - 1) % script_.events.size())];
        msgs += (msgs.empty() ? "" : ",") + messageJson(event, seq);
    }
    std::int64_t count = last >= first ? last - first + 1 : 0;
    std::int64_t cursor = count ? last : from;
    return "{\"next\":" + std::to_string(next) + ",\"from\":" + std::to_string(cursor) +
           ",\"count\":" + std::to_string(count) + ",\"msgs\":[" + msgs + "],\"time\":1449000000}";
}

std::unique_ptr<SimulatedRoom> makeLongzhuRoom(const RoomScript& script) {
    return std::make_unique<LongzhuRoom>(script);
}

}  // namespace sim
