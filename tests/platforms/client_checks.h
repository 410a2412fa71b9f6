// What the client tests look at in a run, in forms that compare whole.
#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "feeder_run.h"
#include "golden.h"
#include "sim/room.h"

namespace testing_support {

// One delivery as "kind name|text|count" ("status text" for a status);
// interactions as "follow name", "share name" or "like name"; a paid chat
// line is of kind "paid".
inline std::string deliveryLine(const Delivered& e) {
    static const char* const interactions[] = {"follow ", "share ", "like "};
    if (e.message == WM_FEEDER_INTERACTION) {
        return interactions[e.count % 3] + e.name;
    }
    if (e.message == WM_FEEDER_STATUS) {
        return "status " + e.text;
    }
    const char* kind = e.message == WM_FEEDER_CHAT   ? (e.paid ? "paid " : "chat ")
                       : e.message == WM_FEEDER_GIFT ? "gift "
                                                     : "enter ";
    return kind + e.name + "|" + e.text + "|" + std::to_string(e.count);
}

// Everything but the statuses, in delivery order.
inline std::vector<std::string> deliveries(const FeederRun& run) {
    std::vector<std::string> out;
    for (const auto& e : run.events()) {
        if (e.message != WM_FEEDER_STATUS) {
            out.push_back(deliveryLine(e));
        }
    }
    return out;
}

// A room's script kept under tests/data: each "in:" line is an event,
// "kind|name|text|count|pause in ms" (kind chat, gift or enter), its "out:"
// line what a client delivers of it as `deliveries` writes it (empty: nothing),
// added to `delivered` when given.
inline sim::RoomScript goldenScript(const std::string& path, std::vector<std::string>* delivered = nullptr) {
    using Kind = sim::ScriptEvent::Kind;
    sim::RoomScript script;
    for (const auto& c : goldenCases(path)) {
        std::vector<std::string> f;
        std::istringstream in(c.in);
        for (std::string field; std::getline(in, field, '|');) {
            f.push_back(field);
        }
        script.events.push_back({f[0] == "gift"    ? Kind::Gift
                                 : f[0] == "enter" ? Kind::Enter
                                                   : Kind::Chat,
                                 f[1], f[2], std::stoi(f[3]), std::chrono::milliseconds(std::stoi(f[4]))});
        if (delivered && !c.out.empty()) {
            delivered->push_back(c.out);
        }
    }
    return script;
}

// The first `n` statuses (fewer if fewer came).
inline std::vector<std::string> firstStatuses(const FeederRun& run, std::size_t n) {
    auto all = run.statuses();
    all.resize(std::min(n, all.size()));
    return all;
}

// The living clients' restart notices ("…,30秒后重试").
inline int countRetries(const FeederRun& run) {
    auto all = run.statuses();
    return static_cast<int>(
        std::count_if(all.begin(), all.end(), [](const std::string& s) { return s.ends_with("秒后重试"); }));
}

// Whether every status after a restart notice (a living client's "…秒后重试")
// came at least `delay` after it.
inline bool restartsWaited(const FeederRun& run, std::chrono::milliseconds delay) {
    auto all = run.all(WM_FEEDER_STATUS);
    for (std::size_t i = 1; i < all.size(); ++i) {
        const std::string& notice = all[i - 1].text;
        if ((notice == "准备重新连接服务器..." || notice.ends_with("秒后重试")) &&
            all[i].at - all[i - 1].at < delay) {
            return false;
        }
    }
    return true;
}

}  // namespace testing_support
