#include "sim/douyuws/douyuws_room.h"

#include <cstdint>

#include "sim/douyuws/douyu_frames.h"

namespace sim {

namespace {

constexpr std::uint32_t kLargestLength = 32768 + 8;

const char* const kLoginAnswer =
    "type@=loginres/userid@=0/roomgroup@=0/pg@=0/sessionid@=0/username@=/nickname@=/live_stat@=0/"
    "is_illegal@=0/ill_ct@=/ill_ts@=0/now@=0/ps@=0/es@=0/it@=0/its@=0/npv@=0/best_dlev@=0/cur_lev@=0/";

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The value after "rid=" in a query, up to the next '&'.
std::string queryValue(const std::string& target, const std::string& key) {
    auto at = target.find("?" + key + "=");
    if (at == std::string::npos) {
        at = target.find("&" + key + "=");
    }
    if (at == std::string::npos) {
        return {};
    }
    auto begin = at + key.size() + 2;
    return target.substr(begin, target.find('&', begin) - begin);
}

// "key@=value/" items, each value escaped once; an empty value of an
// optional key leaves the item out.
std::string items(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::string out;
    for (const auto& [key, value] : pairs) {
        if (value.empty() && (key == "rid" || key == "gfn")) {
            continue;
        }
        out += key + "@=" + douyuEscape(value) + "/";
    }
    return out;
}

HttpResponse failedList(DouyuWsListFault fault, std::string body) {
    HttpResponse response;
    if (fault == DouyuWsListFault::HttpError) {
        response.status = 502;
        response.body = "<html><body>502 Bad Gateway</body></html>";
    } else {
        response.body = std::move(body);
    }
    return response;
}

}  // namespace

std::string douyuWsChatText(const std::string& rid, const std::string& nn, const std::string& txt) {
    return items(
        {{"type", "chatmsg"}, {"rid", rid}, {"uid", "41"}, {"nn", nn}, {"txt", txt}, {"level", "5"}});
}

std::string douyuWsPaidText(const std::string& rid, const std::string& nn, const std::string& txt) {
    const std::string record = items({{"nn", nn},
                                      {"level", "21"},
                                      {"type", "chatmsg"},
                                      {"rid", rid},
                                      {"uid", "42"},
                                      {"txt", txt},
                                      {"ic", "avanew/face/201702"}});
    return items({{"vrid", "2013081579710062592"},
                  {"btype", "voiceDanmu"},
                  {"chatmsg", record},
                  {"range", "2"},
                  {"cprice", "1000"},
                  {"type", "comm_chatmsg"},
                  {"rid", rid},
                  {"uid", "42"}});
}

std::string douyuWsGiftText(const std::string& rid, const std::string& nn, const std::string& gfid, int count,
                            const std::string& gfn) {
    return items({{"type", "dgb"},
                  {"rid", rid},
                  {"gfid", gfid},
                  {"gfn", gfn},
                  {"uid", "43"},
                  {"nn", nn},
                  {"gfcnt", std::to_string(count)},
                  {"hits", std::to_string(count)}});
}

std::vector<std::string> douyuWsPack(const std::vector<std::string>& frames) {
    if (frames.empty()) {
        return {};
    }
    std::string first;
    for (std::size_t i = 0; i + 1 < frames.size(); ++i) {
        first += frames[i];
    }
    const std::string& last = frames.back();
    std::size_t cut = last.size() / 2;
    first += last.substr(0, cut);
    return {first, last.substr(cut)};
}

DouyuWsRoom::DouyuWsRoom(RoomScript script, DouyuWsRoomOptions options)
    : script_(std::move(script)), options_(std::move(options)) {
    startServers([this](const HttpRequest& request) { return answerWeb(request); },
                 [this](WebSocketPeer& peer) { serveChat(peer); });
}

DouyuWsRoom::~DouyuWsRoom() {
    stopServers();
}

std::vector<std::pair<std::string, std::string>> DouyuWsRoom::hostSettings() const {
    return {{"SONARO_DOUYU_API", webBase()},
            {"SONARO_DOUYU_GIFT_API", webBase()},
            {"SONARO_DOUYU_WEBCONF", webBase()},
            {"SONARO_DOUYU_WS", chatUrl()}};
}

HttpResponse DouyuWsRoom::answerWeb(const HttpRequest& request) {
    HttpResponse response;
    const std::string& target = request.target;
    if (startsWith(target, "/betard/")) {
        ++betardRequests_;
        std::string room = target.substr(8);
        DouyuWsPageFault fault = pageFault_.load();
        if (fault == DouyuWsPageFault::NotFound || (room != options_.roomNumber && room != options_.roomId)) {
            response.status = 404;
            response.body = "<html><body>no such room</body></html>";
        } else if (fault == DouyuWsPageFault::NotJson) {
            response.body = "<html><body>busy</body></html>";
        } else {
            response.body = R"({"room":{"room_id":)" + options_.roomId + R"(,"room_name":)" +
                            jsonQuoted("模拟直播间") + R"(,"vipId":)" + options_.roomNumber +
                            R"(,"show_status":1},"game":{"tag_name":"sim"}})";
        }
    } else if (startsWith(target, "/api/gift/v3/web/list") || startsWith(target, "/api/gift/v2/web/list")) {
        const int version = startsWith(target, "/api/gift/v3/") ? 3 : 2;
        ++(version == 3 ? v3Requests_ : v2Requests_);
        const DouyuWsListFaults faults = listFaults_.get();
        const DouyuWsListFault fault = version == 3 ? faults.v3 : faults.v2;
        if (fault != DouyuWsListFault::None) {
            return failedList(fault, R"({"error":1,"msg":"busy","data":{}})");
        }
        if (queryValue(target, "rid") != options_.roomId) {
            response.body = R"({"error":1,"msg":"no such room","data":[]})";
        } else {
            response.body = giftListAnswer(version);
        }
    } else if (target == "/resource/common/prop_gift_list/prop_gift_config.json") {
        ++propListRequests_;
        const DouyuWsListFault fault = listFaults_.get().props;
        if (fault != DouyuWsListFault::None) {
            return failedList(fault, R"(DYConfigCallback({"error":1,"msg":"busy"});)");
        }
        response.body = propListAnswer();
    } else {
        response.status = 404;
        response.body = "not found";
    }
    return response;
}

// v3 entries carry their details in nested objects, v2 ones flat.
std::string DouyuWsRoom::giftListAnswer(int version) {
    std::string list;
    for (const auto& [id, name] : options_.gifts) {
        list += (list.empty() ? "" : ",") + std::string(R"({"id":)") + id + R"(,"name":)" + jsonQuoted(name);
        list += version == 3 ? R"(,"basicInfo":{"giftPic":"a.png","focusPic":""},"priceInfo":{"price":100,)"
                               R"("priceType":"YUCHI"}})"
                             : R"(,"price":100})";
    }
    return R"({"error":0,"msg":"","data":{"giftList":[)" + list + "]}}";
}

std::string DouyuWsRoom::propListAnswer() {
    std::string data;
    for (const auto& [id, name] : options_.props) {
        data += (data.empty() ? "" : ",") + jsonQuoted(id) + R"(:{"name":)" + jsonQuoted(name) + "}";
    }
    return R"(DYConfigCallback({"error":0,"msg":"ok","data":{)" + data + "}});";
}

// The next text the client sent, without its NUL; the bytes of a further
// frame in the same message wait in `pending`. False once the connection ended
// or the client broke the framing.
bool DouyuWsRoom::readClientText(WebSocketPeer& peer, std::string& text, std::string& pending) {
    while (true) {
        if (pending.size() >= 12) {
            std::uint32_t length = 0;
            for (int i = 0; i < 4; ++i) {
                length |= static_cast<std::uint32_t>(static_cast<unsigned char>(pending[i])) << (8 * i);
            }
            if (length < 8 || length > kLargestLength) {
                return false;
            }
            if (pending.size() >= length + 4) {
                text = pending.substr(12, length - 8);
                pending.erase(0, length + 4);
                if (!text.empty() && text.back() == '\0') {
                    text.pop_back();
                }
                return true;
            }
        }
        std::string message;
        if (!peer.read(message)) {
            return false;
        }
        pending += message;
    }
}

std::string DouyuWsRoom::giftIdOf(const std::string& name) const {
    for (const auto* list : {&options_.gifts, &options_.props}) {
        for (const auto& [id, giftName] : *list) {
            if (giftName == name) {
                return id;
            }
        }
    }
    return "99999";  // in neither list
}

std::string DouyuWsRoom::scriptFrameText(const ScriptEvent& event, int serial) const {
    const std::string rid = options_.roomId;
    const std::string uid = std::to_string(3000 + serial);
    const std::string nn = douyuEscape(event.nickname);
    switch (event.kind) {
        case ScriptEvent::Kind::Chat:
            return "type@=chatmsg/rid@=" + rid + "/ct@=0/uid@=" + uid + "/nn@=" + nn +
                   "/txt@=" + douyuEscape(event.text) + "/cid@=" + std::to_string(serial) +
                   "/ic@=avatar@Sdefault@S08/level@=5/sahf@=0/nl@=0/bnn@=/bl@=0/brid@=0/hc@=/el@=/lk@=/"
                   "dms@=3/pdg@=78/pdk@=35/";
        case ScriptEvent::Kind::Enter:
            return "type@=uenter/rid@=" + rid + "/uid@=" + uid + "/nn@=" + nn +
                   "/level@=5/ic@=avatar@Sdefault@S08/rni@=0/el@=/sahf@=0/wgei@=0/";
        case ScriptEvent::Kind::Gift:
            break;
    }
    const std::string count = std::to_string(event.count);
    return "type@=dgb/rid@=" + rid + "/gfid@=" + giftIdOf(event.text) + "/gs@=0/uid@=" + uid + "/nn@=" + nn +
           "/ic@=avatar@Sdefault@S08/eid@=0/eic@=0/level@=5/dw@=0/gfcnt@=" + count + "/hits@=" + count +
           "/bcnt@=1/bst@=2/ct@=0/el@=/cm@=0/bnn@=/bl@=0/brid@=0/hc@=/sahf@=0/fc@=0/";
}

// Events without a pause between them travel as one burst.
bool DouyuWsRoom::playScript(WebSocketPeer& peer) {
    return playBursts(peer.connection(), script_, [&](const std::vector<BurstEvent>& burst) {
        std::vector<std::string> frames;
        for (const auto& [event, serial] : burst) {
            frames.push_back(douyuServerFrame(scriptFrameText(event, serial)));
        }
        for (const auto& message : douyuWsPack(frames)) {
            if (!peer.write(message)) {
                return false;
            }
        }
        return true;
    });
}

void DouyuWsRoom::serveChat(WebSocketPeer& peer) {
    std::string text, pending;
    if (!readClientText(peer, text, pending)) {
        return;
    }
    logins_.append(text);
    DouyuWsFaults now = faults_.get();
    bool loginOk = startsWith(text, "type@=loginreq/") &&
                   text.find("roomid@=" + options_.roomId + "/") != std::string::npos;
    if (now.refuseLogin || !loginOk) {
        peer.write(douyuServerFrame("type@=error/code@=51/"));
    } else if (peer.write(douyuServerFrame(kLoginAnswer))) {
        bool joined = false;
        while (!joined && readClientText(peer, text, pending)) {
            if (startsWith(text, "type@=joingroup/")) {
                joins_.append(text);
                joined = true;
            } else if (text == "type@=mrkl/") {
                keepAlives_.append(std::chrono::steady_clock::now());
            }
        }
        if (!joined) {
            return;
        }
        if (auto opening = openingFrames_.get(); !now.silent && !opening.empty()) {
            for (const auto& message : douyuWsPack(opening)) {
                if (!peer.write(message)) {
                    return;
                }
            }
        }
        if (!now.silent && !playScript(peer)) {
            return;
        }
    }
    // Keep-alives from here on, answered unless the server plays dead.
    while (readClientText(peer, text, pending)) {
        if (text == "type@=mrkl/") {
            keepAlives_.append(std::chrono::steady_clock::now());
            if (!now.silent && !now.refuseLogin && loginOk && !peer.write(douyuServerFrame("type@=mrkl/"))) {
                return;
            }
        }
    }
}

std::unique_ptr<SimulatedRoom> makeDouyuWsRoom(const RoomScript& script) {
    return std::make_unique<DouyuWsRoom>(script);
}

}  // namespace sim
