// The Longzhu client. It keeps no connection open: it reads the chat-room id
// from the room page once, then polls the chat-room API over HTTP; every reply
// carries a batch of chat lines and gifts and says when to ask again.
//
// Threads: construct and destroy on any thread while the event loop is not
// running its handlers (the dialog destroys it after the network thread has
// ended); `start` and everything after it run on the event loop's thread.
// `failCount` may be read from any thread.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/system/error_code.hpp>
#include <chrono>
#include <cstdint>
#include <string>

#include "core/feeder.h"
#include "platforms/historic/common/restart_timer.h"
#include "util/fetch.h"

// The client's pacing. The defaults are the platform's; tests shorten them.
struct LongzhuSettings {
    std::chrono::microseconds firstPoll{200};
    // One unit of a reply's "next", which the server gives in seconds.
    std::chrono::microseconds replyDelayUnit = std::chrono::seconds(1);
    std::chrono::microseconds retryDelay = std::chrono::seconds(1);
    // The wait after a reply whose "next" is 0 or negative: a server must not
    // be able to make the client poll as fast as it can.
    std::chrono::microseconds pollFloor = std::chrono::milliseconds(200);
    std::chrono::microseconds restartDelay = std::chrono::seconds(3);
    std::chrono::milliseconds fetchTimeout = util::kFetchTimeout;
    // "host[:port]" of the room pages (also sent as the referer) and of the
    // polling API.
    std::string pageHost = "star.longzhu.com";
    std::string chatHost = "mbgo.plu.cn";
    // Raised when the program closes; ends a fetch under way.
    const std::atomic<bool>* abort = nullptr;
};

class CLZopt : public msgfeeder {
  public:
    // Before the colon of every status line of this client (UTF-8).
    static constexpr const char* kStatusPrefix = "龙珠";

    CLZopt(boost::asio::io_context& eventLoop, MessageWindow& window, LongzhuSettings settings = {});

    void start(std::string roomId) override;

    // Consecutive failed polls, counted for the whole process.
    static std::int32_t failCount();

  private:
    void lookupRoom();
    void armPoll(std::chrono::microseconds delay);
    void onPoll(const boost::system::error_code& error, unsigned generation);
    bool parseReply(const std::string& body);
    void reportStatus(const char* utf8Text);
    void scheduleReconnect();

    std::int64_t from_ = 0;
    std::int32_t next_ = 0;
    MessageWindow& window_;
    LongzhuSettings settings_;
    std::string roomId_;
    std::int32_t chatRoomId_ = 0;
    std::string pageHost_;
    std::string chatHost_;
    // Bumped at every arming: a wait that completed just before it was
    // cancelled must not start a second polling chain.
    unsigned pollGeneration_ = 0;
    boost::asio::steady_timer pollTimer_;
    platforms::RestartTimer restart_;
};
