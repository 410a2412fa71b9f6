// The platform client interface and the helpers every client uses to hand its
// events to the dialog.
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/message_window.h"

// A platform client ("feeder"). Constructed with the dialog's event loop and
// message window, which it keeps for its whole life. `start` runs on the
// network thread (the dialog posts it there); everything the client does
// afterwards runs as handlers of the same event loop. A client may call its own
// `start` again when it restarts.
class msgfeeder {
  public:
    virtual ~msgfeeder() = default;
    virtual void start(std::string roomId) = 0;
};

// `closing` is raised when shutdown begins; a client hands it to its page
// fetches and pauses so that none of them holds the close up.
using FeederFactory = std::function<std::unique_ptr<msgfeeder>(boost::asio::io_context&, MessageWindow&,
                                                               const std::atomic<bool>& closing)>;

// Platform list index to client factory (platforms::feederFactories fills it
// from the catalogue); an index without one is a client not built in.
using FeederFactories = std::map<int, FeederFactory>;

// The feeder for `platformIndex`, or nothing when the index is outside the list or
// that platform's client is missing.
std::unique_ptr<msgfeeder> createFeeder(int platformIndex, boost::asio::io_context& eventLoop,
                                        MessageWindow& window, const std::atomic<bool>& closing,
                                        const FeederFactories& factories);

// Blocking deliveries from a client to the dialog (network thread). Each
// creates the record and hands it over; false when the window was closed.
// `price`: a paid message's amount in yuan, 0 when not given. `value`: the
// gift's whole worth in the platform's unit, -1 when not given.
bool sendChat(MessageWindow& window, std::string name, std::string text, bool skipLengthLimits = false,
              std::int64_t price = 0);
bool sendGift(MessageWindow& window, std::string name, std::string giftName, std::int32_t count,
              std::int64_t value = -1);
// A status text is cut to kMaxStatusChars characters.
inline constexpr std::size_t kMaxStatusChars = 200;
bool sendStatus(MessageWindow& window, std::string prefix, std::string text);
bool sendEnter(MessageWindow& window, std::string name);
bool sendInteraction(MessageWindow& window, std::string name, InteractionKind kind);

// What the status line shows for a status event: prefix, ASCII colon, text
// (GBK), each cut to kMaxStatusChars characters.
std::string statusLine(const ChatEvent& status);
