// Runs one platform client on an event loop of its own, the way the dialog
// does, and records what it delivers (texts converted to UTF-8 so tests can
// compare them with literals). The test thread plays the dialog: it takes the
// client's blocking deliveries while it waits for a condition.
#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "core/feeder.h"
#include "core/platform_hosts.h"
#include "platforms/catalogue.h"
#include "sim/room.h"
#include "util/text.h"

namespace testing_support {

struct Delivered {
    unsigned message = 0;
    std::string name;  // UTF-8
    std::string text;  // UTF-8
    int count = 0;     // a gift's count, an interaction's kind
    std::chrono::steady_clock::time_point at;
    bool paid = false;  // a chat line that skips the length limits
};

class FeederRun {
  public:
    FeederRun()
        : window_([this](unsigned message, std::unique_ptr<ChatEvent> record) {
              Delivered d{message, util::localToUtf8(record->name),  util::localToUtf8(record->text),
                          0,       std::chrono::steady_clock::now(), record->skipLengthLimits};
              if (auto* gift = dynamic_cast<GiftEvent*>(record.get())) {
                  d.count = gift->count;
              } else if (auto* interaction = dynamic_cast<InteractionEvent*>(record.get())) {
                  d.count = static_cast<int>(interaction->kind);
              }
              events_.push_back(d);
          }),
          guard_(loop_.get_executor()) {}

    ~FeederRun() { stop(); }

    boost::asio::io_context& loop() { return loop_; }
    MessageWindow& window() { return window_; }

    // Starts `client` (already pointed at `room`, see hostsOf) with the room's number.
    void start(std::unique_ptr<msgfeeder> client, const sim::SimulatedRoom& room) {
        start(std::move(client), room.roomNumber());
    }

    void start(std::unique_ptr<msgfeeder> client, std::string roomId) {
        client_ = std::move(client);
        msgfeeder* c = client_.get();
        boost::asio::post(loop_, [c, roomId] { c->start(roomId); });
        thread_ = std::thread([this] { loop_.run(); });
    }

    // Takes deliveries until `condition` holds, or the timeout passes; returns
    // whether it held. The condition may look at what was delivered so far.
    template <typename Condition>
    bool waitFor(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        auto holds = [&] {
            if constexpr (std::is_invocable_v<Condition>) {
                return condition();
            } else {
                return condition(events_);
            }
        };
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!holds()) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            window_.waitAndDispatch(std::chrono::milliseconds(5));
        }
        return true;
    }

    static int countOf(const std::vector<Delivered>& events, unsigned message, const std::string& text) {
        int n = 0;
        for (const auto& e : events) {
            n += e.message == message && e.text == text ? 1 : 0;
        }
        return n;
    }

    const std::vector<Delivered>& events() const { return events_; }

    std::vector<Delivered> all(unsigned message) const {
        std::vector<Delivered> out;
        for (const auto& e : events_) {
            if (e.message == message) {
                out.push_back(e);
            }
        }
        return out;
    }

    std::vector<std::string> statuses() const {
        std::vector<std::string> out;
        for (const auto& e : all(WM_FEEDER_STATUS)) {
            out.push_back(e.text);
        }
        return out;
    }

    int countStatus(const std::string& text) const { return countOf(events_, WM_FEEDER_STATUS, text); }

    void stop() {
        window_.close();
        loop_.stop();
        if (thread_.joinable()) {
            thread_.join();
        }
        client_.reset();
    }

  private:
    boost::asio::io_context loop_;
    std::vector<Delivered> events_;
    MessageWindow window_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> guard_;
    std::unique_ptr<msgfeeder> client_;
    std::thread thread_;
};

// The default hosts with those of `room`'s platform pointed at it.
inline PlatformHosts hostsOf(const sim::SimulatedRoom& room) {
    PlatformHosts hosts;
    for (const auto& [name, value] : room.hostSettings()) {
        hosts.values[name] = value;
    }
    return hosts;
}

// Every host of every platform pointed at one loopback server: host-and-port
// settings get `hostPort`, base URLs get it behind their own scheme.
inline PlatformHosts allHostsAt(const std::string& hostPort) {
    PlatformHosts hosts;
    for (const platforms::HostVariable& variable : platforms::hostVariables()) {
        const std::string& historic = variable.defaultValue;
        const auto scheme = historic.find("://");
        std::string value = hostPort;
        if (scheme != std::string::npos) {
            const std::string name = historic.substr(0, scheme);
            value = (name == "https" ? "http" : name == "wss" ? "ws" : name) + "://" + hostPort;
        }
        platforms::setHost(hosts, variable.name, value);
    }
    return hosts;
}

// A loopback port nobody listens on: connects to it are refused.
inline int refusedPort() {
    boost::asio::io_context io;
    boost::asio::ip::tcp::acceptor acceptor(io, {boost::asio::ip::address_v4::loopback(), 0});
    return acceptor.local_endpoint().port();
}

}  // namespace testing_support
