#include "core/feeder.h"

#include <algorithm>

#include "util/gbk.h"

std::unique_ptr<msgfeeder> createFeeder(int platformIndex, boost::asio::io_context& eventLoop,
                                        MessageWindow& window, const std::atomic<bool>& closing,
                                        const FeederFactories& factories) {
    const auto found = factories.find(platformIndex);
    if (found == factories.end() || !found->second) {
        return nullptr;
    }
    return found->second(eventLoop, window, closing);
}

bool sendChat(MessageWindow& window, std::string name, std::string text, bool skipLengthLimits,
              std::int64_t price) {
    auto chat = std::make_unique<ChatEvent>(std::move(name), std::move(text));
    chat->skipLengthLimits = skipLengthLimits;
    chat->price = std::max<std::int64_t>(price, 0);
    return window.send(WM_FEEDER_CHAT, std::move(chat));
}

bool sendGift(MessageWindow& window, std::string name, std::string giftName, std::int32_t count,
              std::int64_t value) {
    auto gift = std::make_unique<GiftEvent>(std::move(name), std::move(giftName), count);
    gift->value = value < 0 ? -1 : value;
    return window.send(WM_FEEDER_GIFT, std::move(gift));
}

bool sendStatus(MessageWindow& window, std::string prefix, std::string text) {
    // A status may quote what a server sent (a host name, an error text):
    // a megabyte of it is cut here, before it crosses threads.
    text.resize(util::gbkPrefixChars(text, kMaxStatusChars).size());
    return window.send(WM_FEEDER_STATUS, std::make_unique<ChatEvent>(std::move(prefix), std::move(text)));
}

bool sendEnter(MessageWindow& window, std::string name) {
    return window.send(WM_FEEDER_ENTER, std::make_unique<ChatEvent>(std::move(name), std::string()));
}

bool sendInteraction(MessageWindow& window, std::string name, InteractionKind kind) {
    return window.send(WM_FEEDER_INTERACTION, std::make_unique<InteractionEvent>(std::move(name), kind));
}

std::string statusLine(const ChatEvent& status) {
    std::string line(util::gbkPrefixChars(status.name, kMaxStatusChars));
    line += ':';
    line += util::gbkPrefixChars(status.text, kMaxStatusChars);
    return line;
}
