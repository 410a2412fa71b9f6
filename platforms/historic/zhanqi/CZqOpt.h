// The Zhanqi client: looks the room up from its page and the viewer API,
// greets a randomly chosen chat server, logs in as an anonymous viewer, keeps
// the connection alive with a small request every few seconds and turns chat
// lines and gifts for this room into events for the dialog. Every failure
// leads to a restart after a fixed delay, for as long as the process runs.
//
// Threads: construct and destroy on any thread while the event loop is not
// running; `start` and everything after it run on the event loop's thread.
#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "core/feeder.h"
#include "platforms/historic/common/restart_timer.h"
#include "platforms/historic/common/server_walk.h"
#include "platforms/historic/zhanqi/zhanqi_protocol.h"
#include "util/fetch.h"

struct ZhanqiSettings {
    std::chrono::milliseconds restartDelay{3000};
    std::chrono::milliseconds keepAliveInterval{10000};
    // The pause between the greeting and the first read that the servers expect.
    std::chrono::milliseconds pause{100};
    std::chrono::milliseconds fetchTimeout{util::kFetchTimeout};
    // Picks the first server to try. The C library's generator is never
    // seeded, so every run walks the same sequence.
    std::function<int()> random = [] { return std::rand(); };
    // "host[:port]" of the room pages and the viewer API.
    std::string host = "www.zhanqi.tv";
    // Raised when the program closes; ends a fetch or pause under way.
    const std::atomic<bool>* abort = nullptr;
};

class CZqOpt : public msgfeeder {
  public:
    // Before the colon of every status line of this client (UTF-8).
    static constexpr const char* kStatusPrefix = "战旗";

    CZqOpt(boost::asio::io_context& eventLoop, MessageWindow& window, ZhanqiSettings settings = {});
    ~CZqOpt() override;

    void start(std::string roomId) override;

  private:
    void lookupRoom();
    void onConnected();
    void readPacket();
    void onPacket(platforms::StreamConnection::ReadOutcome outcome, std::string_view text);
    bool dispatchMessage(std::string_view text);
    void sendKeepAlive();
    void scheduleReconnect();
    void closeConnection();
    void reportStatus(const char* utf8Text, const std::string& suffix = {});
    void pause() const;

    std::string roomId_;
    zhanqi::RoomInfo room_;
    platforms::KeepAliveTimer keepAlive_;
    MessageWindow& window_;
    ZhanqiSettings settings_;
    platforms::RestartTimer restart_;

    // Completions of a closed connection (aborted reads after a restart, a
    // write that failed meanwhile) carry an older generation and are ignored.
    platforms::StreamConnection link_;
    platforms::ServerWalk walk_;
};
