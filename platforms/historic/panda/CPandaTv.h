// The Panda client: looks the room up over HTTP, logs in to one of the chat
// servers, keeps the connection alive with heartbeats and turns chat lines and
// gifts into events for the dialog. Every failure leads to a restart after a
// fixed delay, for as long as the process runs.
//
// Threads: construct and destroy on any thread while the event loop is not
// running; `start` and everything after it run on the event loop's thread.
#pragma once

#include <boost/asio/io_context.hpp>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/feeder.h"
#include "platforms/historic/common/restart_timer.h"
#include "platforms/historic/common/server_walk.h"
#include "platforms/historic/panda/panda_protocol.h"
#include "util/fetch.h"

struct PandaSettings {
    std::chrono::milliseconds restartDelay{2000};
    std::chrono::milliseconds heartbeatInterval{std::chrono::minutes(5)};
    // The pauses around the login exchange that the servers expect.
    std::chrono::milliseconds pause{100};
    std::chrono::milliseconds fetchTimeout{util::kFetchTimeout};
    // "host[:port]" of the chat-info API.
    std::string host = "www.panda.tv";
    // Raised when the program closes; ends a fetch or pause under way.
    const std::atomic<bool>* abort = nullptr;
};

class CPandaTv : public msgfeeder {
  public:
    // Before the colon of every status line of this client (UTF-8).
    static constexpr const char* kStatusPrefix = "熊猫";

    CPandaTv(boost::asio::io_context& eventLoop, MessageWindow& window, PandaSettings settings = {});
    ~CPandaTv() override;

    void start(std::string roomId) override;

  private:
    void lookupRoom();
    void onConnected();
    void sendHeartbeat();
    void readNext(const panda::NextRead& next);
    void onFrameHead(const boost::system::error_code& error);
    void onFrameBody(const boost::system::error_code& error);
    void dispatchMessage(std::string_view json);
    void disconnected();
    void scheduleReconnect();
    // Closes the socket. An abandoned connection's outstanding completions
    // are ignored; otherwise its pending read still reports the failure.
    void closeConnection(bool abandon = true);
    void reportStatus(const char* utf8Text, const std::string& suffix = {});
    void pause() const;

    std::string roomId_;
    platforms::KeepAliveTimer keepAlive_;
    MessageWindow& window_;
    panda::ChatInfo info_;
    std::unique_ptr<panda::PandaFrame> frame_;
    PandaSettings settings_;
    platforms::RestartTimer restart_;

    // Completions of an abandoned connection (aborted reads after a restart,
    // a write that failed meanwhile) carry an older generation and are ignored.
    platforms::StreamConnection link_;
    platforms::ServerWalk walk_;
};
