#include "platforms/bilibili/bilibili_dispatch.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/feeder.h"
#include "platforms/bilibili/bilibili_events.h"
#include "util/text.h"

namespace bilibili {

namespace {

// A service that invents a new command name per message must not grow the
// set of names already reported without end.
constexpr std::size_t kMaxReported = 1024;

}  // namespace

std::string speakableName(std::string_view gbkName) {
    if (gbkName.find('*') == std::string_view::npos) {
        return std::string(gbkName);
    }
    std::string visible;
    std::remove_copy(gbkName.begin(), gbkName.end(), std::back_inserter(visible), '*');
    visible = util::trimCopy(visible);
    static const std::string someone = util::utf8ToLocal("某");
    static const std::string viewer = util::utf8ToLocal("观众");
    return visible.empty() ? viewer : visible + someone;
}

void traceToStandardError(std::string_view name, std::size_t bytes) {
    std::fprintf(stderr, "bilibili: unread %.*s (%zu bytes)\n",
                 static_cast<int>(std::min<std::size_t>(name.size(), 200)), name.data(), bytes);
}

CommandDispatch::CommandDispatch(MessageWindow& window, Unread unread, Clock clock)
    : window_(window),
      unread_(std::move(unread)),
      clock_(clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); }) {}

void CommandDispatch::startConnection(bool loggedIn) {
    loggedIn_ = loggedIn;
    noticeShown_ = false;
    reported_.clear();
}

void CommandDispatch::showNotice() {
    if (!noticeShown_) {
        noticeShown_ = true;
        static const std::string prefix = util::utf8ToLocal("哔哩哔哩");
        static const std::string text = util::utf8ToLocal("游客模式,昵称被隐藏;登录见bilibili_cookie.txt");
        sendStatus(window_, prefix, text);
    }
}

std::string CommandDispatch::name(std::string&& gbkName) {
    if (loggedIn_ || gbkName.find('*') == std::string::npos) {
        return std::move(gbkName);
    }
    showNotice();
    return speakableName(gbkName);
}

bool CommandDispatch::likeDue(std::int64_t uid, const std::string& gbkName) {
    const auto now = clock_();
    // Oldest first: what has aged past the interval is forgotten.
    while (!likeOrder_.empty() && now - likeOrder_.front().first >= kLikeInterval) {
        auto it = lastLike_.find(likeOrder_.front().second);
        if (it != lastLike_.end() && it->second == likeOrder_.front().first) {
            lastLike_.erase(it);
        }
        likeOrder_.pop_front();
    }
    std::string key = uid != 0 ? std::to_string(uid) : "n:" + gbkName;
    auto it = lastLike_.find(key);
    if (it != lastLike_.end() || lastLike_.size() >= kMaxLikers) {
        return false;
    }
    lastLike_.emplace(key, now);
    likeOrder_.emplace_back(now, std::move(key));
    return true;
}

bool CommandDispatch::handle(std::string_view json) {
    std::vector<ChatCommand> events;
    CommandOutcome outcome = readCommand(json, events);
    if (outcome.status == CommandOutcome::NotJson) {
        return false;
    }
    if (outcome.status != CommandOutcome::Read && unread_ && reported_.size() < kMaxReported &&
        reported_.insert(outcome.name).second) {
        unread_(outcome.name, json.size());
    }
    for (auto& e : events) {
        switch (e.kind) {
            case ChatCommand::Chat:
                sendChat(window_, name(std::move(e.name)), std::move(e.text));
                break;
            case ChatCommand::SuperChat:
                sendChat(window_, name(std::move(e.name)), std::move(e.text), true, e.count);
                break;
            case ChatCommand::Gift:
                sendGift(window_, name(std::move(e.name)), std::move(e.text), e.count, e.value);
                break;
            case ChatCommand::Enter:
                sendEnter(window_, name(std::move(e.name)));
                break;
            case ChatCommand::Follow:
                sendInteraction(window_, name(std::move(e.name)), InteractionKind::Follow);
                break;
            case ChatCommand::Share:
                sendInteraction(window_, name(std::move(e.name)), InteractionKind::Share);
                break;
            case ChatCommand::Like:
                // Folded on the name as sent: every masked liker looks alike.
                if (likeDue(e.uid, e.name)) {
                    sendInteraction(window_, name(std::move(e.name)), InteractionKind::Like);
                }
                break;
            case ChatCommand::Notice:
                showNotice();
                break;
        }
    }
    return true;
}

}  // namespace bilibili
