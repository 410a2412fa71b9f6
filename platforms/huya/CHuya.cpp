#include "platforms/huya/CHuya.h"

#include "platforms/huya/huya_page.h"
#include "util/fetch.h"

namespace {

using platforms::LinkFailure;

}  // namespace

CHuya::CHuya(boost::asio::io_context& eventLoop, MessageWindow& window, HuyaSettings settings)
    : settings_(std::move(settings)),
      window_(window),
      link_(eventLoop, window, settings_.link,
            {.lookup = [this](const std::atomic<bool>&) { return lookUp(); },
             .connecting = [this](const std::string&, std::size_t) { link_.status("正在连接弹幕服务器."); },
             .opened = [this] { onOpened(); },
             .received = [this](std::string message) { onMessage(message); },
             .heartbeat = [] { return huya::heartbeatCommand(); },
             .ended = [this] { joined_ = false; }}) {}

CHuya::~CHuya() = default;

void CHuya::start(std::string roomId) {
    typedRoom_ = std::move(roomId);
    link_.start();
}

// On the lookup worker.
platforms::LinkPlan CHuya::lookUp() {
    util::FetchOptions options;
    options.userAgent = link_.userAgent();
    options.acceptEncoding = "gzip, deflate";
    options.timeout = settings_.fetchTimeout;
    options.abort = settings_.closing;
    options.abandon = &link_.abandonFlag();
    options.caFile = settings_.link.trustedCaFile;
    platforms::LinkPlan plan;
    std::string page = util::fetchPage(huya::roomPageUrl(settings_.pageBase, typedRoom_), options);
    if (page.empty()) {
        plan.failure = LinkFailure{LinkFailure::Kind::LookupFailed, {}};
    } else if (auto ids = huya::readRoomPage(page)) {
        ids_ = *ids;
        plan.urls = {settings_.chatUrl};
    } else {
        plan.failure = LinkFailure{LinkFailure::Kind::NoSuchRoom, {}};
    }
    return plan;
}

void CHuya::onOpened() {
    link_.status("连接弹幕服务器成功!");
    // Either registration may be what the server of the day honours; one
    // that the page's ids do not allow is left out. The heartbeat's answer
    // tells that the server hears us even when it confirms neither.
    for (std::string command : {huya::registerUserCommand(ids_), huya::registerGroupCommand(ids_)}) {
        if (!command.empty()) {
            link_.send(std::move(command));
        }
    }
    link_.send(huya::heartbeatCommand());
}

void CHuya::onMessage(const std::string& message) {
    huya::Decoded decoded = huya::decodeMessage(message);
    if (!decoded.valid) {
        link_.traceUnread("undecodable message", message.size());  // dropped alone; the connection stays
        return;
    }
    if (!joined_) {
        joined_ = true;
        link_.loggedIn();
        link_.status("登陆成功!");
    }
    for (const auto& [uri, size] : decoded.unread) {
        link_.traceUnread("uri " + std::to_string(uri), size);
    }
    unsigned connection = link_.connection();
    for (huya::Event& event : decoded.events) {
        if (link_.connection() != connection) {
            return;  // the connection ended while an event was handed over
        }
        deliver(event);
    }
}

void CHuya::deliver(huya::Event& event) {
    switch (event.kind) {
        case huya::Event::Kind::Chat:
            sendChat(window_, std::move(event.name), std::move(event.text));
            break;
        case huya::Event::Kind::Gift:
            sendGift(window_, std::move(event.name), std::move(event.text), event.count);
            break;
        case huya::Event::Kind::Enter:
            sendEnter(window_, std::move(event.name));
            break;
    }
}
