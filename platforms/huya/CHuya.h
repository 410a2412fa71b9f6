// Huya's web chat: the room's ids from its page, then a WebSocket carrying
// TARS-encoded commands. The client registers for the room's pushes, sends a
// heartbeat every minute, and reads chat lines, gifts in this room and noble
// and VIP entries. Any failure becomes a status text and a restart from the
// page, sooner after a short outage, later while the failures go on.
//
// Threads: construct and destroy on any one thread while the event loop is not
// running the client's handlers (before the network thread starts, after it
// ended). `start` and every other operation run on the network thread. The
// page fetch runs on a worker thread of the client's own, so the network
// thread never blocks; destruction ends it within the fetch's abort time.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <thread>

#include "core/feeder.h"
#include "platforms/common/websocket_connection.h"
#include "platforms/huya/huya_messages.h"

struct HuyaSettings {
    // Base URLs with their scheme.
    std::string pageBase = "https://www.huya.com";
    std::string chatUrl = "wss://cdnws.api.huya.com";

    std::chrono::milliseconds heartbeatInterval{60000};
    // Nothing from the server for this long, heartbeat answers included, and
    // the connection counts as lost: two heartbeats unanswered.
    std::chrono::milliseconds silenceLimit{120000};
    // The first restart waits this long; each further failure in a row
    // doubles it, up to the cap. A join that holds for `steadyJoin` starts
    // the count again.
    std::chrono::milliseconds reconnectDelay{3000};
    std::chrono::milliseconds reconnectCap{300000};
    std::chrono::milliseconds steadyJoin{60000};
    std::chrono::milliseconds fetchTimeout{10000};
    // Raised when the program closes, so that no page fetch holds it up.
    const std::atomic<bool>* closing = nullptr;
    // Pushes the client does not read are written here, once per uri and
    // connection, with their size (SONARO_TRACE=1); null for none.
    std::ostream* trace = nullptr;
};

class CHuya : public msgfeeder {
  public:
    CHuya(boost::asio::io_context& eventLoop, MessageWindow& window, HuyaSettings settings = {});
    ~CHuya() override;

    CHuya(const CHuya&) = delete;
    CHuya& operator=(const CHuya&) = delete;

    void start(std::string roomId) override;

    // The ids the last page gave; for tests and diagnostics.
    const huya::RoomIds& roomIds() const { return ids_; }

  private:
    void reportStatus(const char* utf8Text);
    void fetchPage();
    void onPage(unsigned lookup, std::string page);
    void connectChat();
    void onOpened();
    void onMessage(const std::string& message);
    void onFailed(platforms::WebSocketConnection::Stage stage);
    void deliver(huya::Event& event);
    void traceUnread(std::int64_t uri, std::size_t size);
    void armSilence();
    void armHeartbeat();
    void fail(const char* utf8Text);
    void scheduleReconnect();
    void closeChat();

    HuyaSettings settings_;
    boost::asio::io_context& eventLoop_;
    MessageWindow& window_;
    std::string typedRoom_;
    huya::RoomIds ids_;
    bool opened_ = false;
    bool joined_ = false;
    bool reconnectPending_ = false;
    int failuresInARow_ = 0;
    std::chrono::steady_clock::time_point joinedAt_{};
    unsigned lookup_ = 0;
    unsigned silenceArm_ = 0;
    unsigned heartbeatArm_ = 0;
    std::set<std::int64_t> traced_;
    // Whether the client still exists, for the worker's result on the loop.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::shared_ptr<std::atomic<bool>> abortFetch_ = std::make_shared<std::atomic<bool>>(false);
    std::thread fetcher_;
    platforms::WebSocketConnection chat_;
    boost::asio::steady_timer silenceTimer_;
    boost::asio::steady_timer heartbeatTimer_;
    boost::asio::steady_timer reconnectTimer_;
};
