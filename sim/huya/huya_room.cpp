#include "sim/huya/huya_room.h"

#include <cstdlib>

namespace sim {

namespace {

// The sim's own TARS encoder. Integers always go out four or eight bytes
// wide (never the narrowest form), which a reader must take as well.
class Jce {
  public:
    Jce& number(unsigned tag, std::int64_t value) {
        bool wide = value < INT32_MIN || value > INT32_MAX;
        head(tag, wide ? 3 : 2);
        bigEndian(static_cast<std::uint64_t>(value), wide ? 8 : 4);
        return *this;
    }
    Jce& text(unsigned tag, const std::string& value) {
        if (value.size() < 256) {
            head(tag, 6);
            bigEndian(value.size(), 1);
        } else {
            head(tag, 7);
            bigEndian(value.size(), 4);
        }
        out += value;
        return *this;
    }
    Jce& blob(unsigned tag, const std::string& value) {
        head(tag, 13);
        head(0, 0);
        number(0, static_cast<std::int64_t>(value.size()));
        out += value;
        return *this;
    }
    Jce& nested(unsigned tag, const std::string& fields) {
        head(tag, 10);
        out += fields;
        head(0, 11);
        return *this;
    }
    Jce& structList(unsigned tag, const std::vector<std::string>& bodies) {
        head(tag, 9);
        number(0, static_cast<std::int64_t>(bodies.size()));
        for (const auto& body : bodies) {
            nested(0, body);
        }
        return *this;
    }

    std::string out;

  private:
    void head(unsigned tag, unsigned type) {
        if (tag >= 15) {
            out += static_cast<char>(0xF0 | type);
            out += static_cast<char>(tag);
        } else {
            out += static_cast<char>((tag << 4) | type);
        }
    }
    void bigEndian(std::uint64_t value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    }
};

std::string bigEndian64(std::int64_t value) {
    std::string out;
    for (int i = 7; i >= 0; --i) {
        out += static_cast<char>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
    }
    return out;
}

// The command type of a client's WebSocketCommand: its first field, tag 0;
// -1 when the message does not start so.
int commandType(const std::string& message) {
    if (message.empty() || (static_cast<unsigned char>(message[0]) >> 4) != 0) {
        return -1;
    }
    switch (message[0] & 0x0F) {
        case 12:
            return 0;
        case 0:
            return message.size() >= 2 ? static_cast<unsigned char>(message[1]) : -1;
        case 1:
            return message.size() >= 3 ? (static_cast<unsigned char>(message[1]) << 8) |
                                             static_cast<unsigned char>(message[2])
                                       : -1;
        default:
            return -1;
    }
}

std::string command(int type, const std::string& payload) {
    return Jce().number(0, type).blob(1, payload).number(2, 0).out;
}

struct Item {
    std::int64_t uri;
    std::string payload;
};

}  // namespace

HuyaRoom::HuyaRoom(RoomScript script, HuyaRoomOptions options)
    : script_(std::move(script)), options_(std::move(options)) {
    startServers([this](const HttpRequest& request) { return answerPage(request); },
                 [this](WebSocketPeer& peer) { serveChat(peer); });
}

HuyaRoom::~HuyaRoom() {
    stopServers();
}

std::vector<std::pair<std::string, std::string>> HuyaRoom::hostSettings() const {
    return {{"SONARO_HUYA_PAGE", pageBase()}, {"SONARO_HUYA_WS", chatUrl()}};
}

HttpResponse HuyaRoom::answerPage(const HttpRequest& request) const {
    ++pageRequests_;
    HttpResponse response;
    const std::string room = request.target.substr(1);
    HuyaPageFault fault = pageFault_.load();
    if (fault == HuyaPageFault::NotFound || (room != options_.roomNumber && room != options_.roomName)) {
        response.status = 404;
        response.body = "<html><head><title>404</title></head><body>找不到这个主播</body></html>";
        return response;
    }
    const std::string yy = std::to_string(options_.yyid);
    const std::string tid = std::to_string(options_.channelId);
    const std::string sid = std::to_string(options_.subChannelId);
    const std::string uid = std::to_string(options_.presenterUid);
    std::string script;
    if (fault == HuyaPageFault::NoRoom) {
        script = "var TT_ROOM_DATA = {\"type\":\"NORMAL\",\"state\":\"OFF\"};";
    } else {
        switch (options_.pageForm) {
            case HuyaPageForm::PlayerConfig:
                script =
                    "var hyPlayerConfig = {\"html5\":1,\"stream\":{\"data\":[{\"gameLiveInfo\":{\"yyid\":" +
                    yy + ",\"nick\":\"模拟主播\"},\"gameStreamInfoList\":[{\"lChannelId\":" + tid +
                    ",\"lSubChannelId\":" + sid + ",\"lPresenterUid\":" + uid + ",\"lYyid\":" + yy +
                    "}]}]}};";
                break;
            case HuyaPageForm::RoomData:
                script = "var TT_ROOM_DATA = {\"type\":\"NORMAL\",\"state\":\"ON\",\"isOn\":true,\"id\":\"" +
                         uid + "\",\"sid\":\"" + sid + "\",\"profileRoom\":\"" + options_.roomNumber +
                         "\",\"gameInfo\":{\"id\":\"2168\"}};\nvar lYyid = '" + yy + "', lChannelId = '" +
                         tid + "';";
                break;
            case HuyaPageForm::ProfileLp:
                script = "var TT_PROFILE_INFO = {\"sex\":1,\"lp\":\"" + uid + "\",\"nick\":\"模拟主播\"};";
                break;
            case HuyaPageForm::ProfileInfo:
                script = "window.HNF_GLOBAL_INIT = {\"roomInfo\":{\"tProfileInfo\":{\"lYyid\":" + yy +
                         ",\"tRecentLive\":{\"lUid\":1},\"lUid\":" + uid + ",\"sNick\":\"模拟主播\"}}};";
                break;
        }
    }
    response.body =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>模拟直播间</title></head><body>"
        "<script>" +
        script + "</script></body></html>";
    return response;
}

bool HuyaRoom::playScript(WebSocketPeer& peer, bool garbage) {
    const std::string group = "live:" + std::to_string(options_.presenterUid);
    auto itemOf = [this](const ScriptEvent& event, int serial) {
        const std::int64_t uid = 2000000000000 + serial;
        switch (event.kind) {
            case ScriptEvent::Kind::Chat: {
                std::string sender =
                    Jce().number(0, uid).number(1, uid).text(2, event.nickname).number(3, 1).out;
                return Item{1400, Jce()
                                      .nested(0, sender)
                                      .number(1, options_.channelId)
                                      .number(2, options_.subChannelId)
                                      .text(3, event.text)
                                      .number(4, 0)
                                      .out};
            }
            case ScriptEvent::Kind::Gift:
                return Item{6501, Jce()
                                      .number(0, 4)
                                      .text(1, "pay" + std::to_string(serial))
                                      .number(2, event.count)
                                      .number(3, options_.presenterUid)
                                      .number(4, uid)
                                      .text(5, "模拟主播")
                                      .text(6, event.nickname)
                                      .text(7, "")
                                      .number(8, event.count)
                                      .text(17, "{}")
                                      .text(20, event.text)
                                      .number(24, std::strtoll(options_.roomNumber.c_str(), nullptr, 10))
                                      .out};
            case ScriptEvent::Kind::Enter:
                break;
        }
        if (serial % 2 == 0) {  // VipEnterBanner
            return Item{6110,
                        Jce().number(0, uid).text(1, event.nickname).number(2, options_.presenterUid).out};
        }
        std::string noble = Jce().number(0, uid).text(1, event.nickname).number(2, 5).text(3, "公爵").out;
        return Item{1005, Jce().nested(0, noble).out};
    };
    // A gift somewhere else, announced to every room.
    const Item elsewhere{
        6502,
        Jce().number(0, 9).number(1, 1).text(2, "别处的土豪").text(3, "别处的主播").text(4, "超级火箭").out};

    auto send = [&](const std::string& message) {
        return (!garbage || peer.write(message.substr(0, message.size() / 2))) && peer.write(message);
    };
    return playBursts(peer.connection(), script_, [&](const std::vector<BurstEvent>& burst) {
        std::vector<Item> items;
        for (const auto& [event, serial] : burst) {
            items.push_back(itemOf(event, serial));
            if (event.kind == ScriptEvent::Kind::Gift) {
                items.push_back(elsewhere);
            }
        }
        if (items.size() == 1) {
            return send(command(7, Jce()
                                       .number(0, 0)
                                       .number(1, items[0].uri)
                                       .blob(2, items[0].payload)
                                       .number(3, 1)
                                       .text(4, group)
                                       .out));
        }
        std::vector<std::string> bodies;
        for (const Item& item : items) {
            bodies.push_back(
                Jce().number(0, item.uri).blob(1, item.payload).number(2, burst.back().serial).out);
        }
        return send(command(22, Jce().text(0, group).structList(1, bodies).out));
    });
}

void HuyaRoom::serveChat(WebSocketPeer& peer) {
    const HuyaFaults now = faults_.get();
    const std::string group = "live:" + std::to_string(options_.presenterUid);
    // Whether `message` registers for this room; notes it when it does.
    auto registers = [this, &group](const std::string& message, int type) {
        bool named = (type == 16 && message.find(group) != std::string::npos) ||
                     (type == 1 && message.find(bigEndian64(options_.yyid)) != std::string::npos &&
                      message.find(bigEndian64(options_.channelId)) != std::string::npos);
        if (named) {
            registrations_.append(type);
        }
        return named;
    };
    std::string message;
    bool registered = false;
    while (!registered && peer.read(message)) {
        int type = commandType(message);
        if (type == 20) {
            ++heartbeats_;
            continue;
        }
        if (!registers(message, type)) {
            continue;
        }
        registered = true;
        if (!peer.write(command(type == 16 ? 17 : 2, Jce().number(0, 0).text(1, group).out))) {
            return;
        }
    }
    if (!registered || !playScript(peer, now.garbage)) {
        return;
    }
    // Heartbeats from here on, answered unless the server plays dead.
    while (peer.read(message)) {
        int type = commandType(message);
        registers(message, type);
        if (type == 20) {
            ++heartbeats_;
            if (!now.silent && !peer.write(command(21, Jce().number(0, 0).out))) {
                return;
            }
        }
    }
}

std::unique_ptr<SimulatedRoom> makeHuyaRoom(const RoomScript& script) {
    return std::make_unique<HuyaRoom>(script);
}

}  // namespace sim
