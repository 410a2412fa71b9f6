// What the client does with each command body: its events go to the dialog
// with masked names made speakable, the service's notice that names are
// hidden shows once per connection, a viewer's likes are read at most once a
// minute, and each command name this program does not read can be reported
// once per connection, so a host can tell what the service changed.
//
// Threads: the network thread only (the client owns it).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "core/message_window.h"

namespace bilibili {

// A name as it is spoken (GBK in, GBK out). To a visitor the service masks
// other viewers' names with asterisks: the visible part is followed by "某"
// ("用***" is "用某"), a wholly masked name is "观众". An asterisk is never a
// GBK trail byte, so taking them out leaves every character whole.
std::string speakableName(std::string_view gbkName);

// Writes "bilibili: unread <name> (<bytes> bytes)" to standard error.
void traceToStandardError(std::string_view name, std::size_t bytes);

class CommandDispatch {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // A command name (UTF-8, without its ':' suffix) not read, and the size of
    // the body that carried it; empty when nobody asked.
    using Unread = std::function<void(std::string_view name, std::size_t bytes)>;

    static constexpr std::chrono::seconds kLikeInterval{60};
    // Viewers whose last like is remembered; past it a like from a viewer not
    // remembered is dropped, so a flood of likers cannot grow the memory.
    static constexpr std::size_t kMaxLikers = 4096;

    explicit CommandDispatch(MessageWindow& window, Unread unread = {}, Clock clock = {});

    // A new connection: the notice may show again and each unread name is
    // reported again. While logged in, an asterisk in a name is part of it.
    void startConnection(bool loggedIn);

    // Delivers the events of one command body (blocking sends). False only
    // when the body is not JSON, which the client takes as a broken stream.
    bool handle(std::string_view json);

  private:
    std::string name(std::string&& gbkName);
    bool likeDue(std::int64_t uid, const std::string& gbkName);
    void showNotice();

    MessageWindow& window_;
    Unread unread_;
    Clock clock_;
    bool loggedIn_ = false;
    bool noticeShown_ = false;
    std::unordered_set<std::string> reported_;
    std::unordered_map<std::string, std::chrono::steady_clock::time_point> lastLike_;
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::string>> likeOrder_;
};

}  // namespace bilibili
