#include "sim/historic/douyu/douyu_wire.h"

#include <cctype>
#include <cstdio>
#include <utility>

namespace sim {

std::string douyuPageEncode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
            out += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out;
}

std::string douyuItems(std::initializer_list<std::pair<const char*, std::string>> pairs) {
    std::string out;
    for (const auto& [key, value] : pairs) {
        out += key;
        out += "@=";
        out += douyuEscape(value);
        out += '/';
    }
    return out;
}

bool readDouyuClientFrame(Connection& connection, std::string& text) {
    std::string header;
    if (!connection.readExact(12, header)) {
        return false;
    }
    std::uint32_t length = 0;
    for (int i = 0; i < 4; ++i) {
        length |= static_cast<std::uint32_t>(static_cast<unsigned char>(header[i])) << (8 * i);
    }
    if (length < 8 || length > kDouyuLargestLength) {
        return false;
    }
    if (!connection.readExact(length - 8, text)) {
        return false;
    }
    if (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return true;
}

std::string douyuScriptMessage(const ScriptEvent& event, int serial, const std::string& rid,
                               const std::string& groupId) {
    std::string uid = std::to_string(1000 + serial);
    std::string user =
        douyuItems({{"id", uid}, {"name", "auto_" + uid}, {"nick", event.nickname}, {"rg", "1"}});
    switch (event.kind) {
        case ScriptEvent::Kind::Chat:
            return "type@=chatmessage/receiver@=0/content@=" + douyuEscape(event.text) +
                   "/scope@=/sender@=" + uid + "/snick@=" + douyuEscape(event.nickname) +
                   "/dnick@=/cd@=0/maxl@=30/chatmsgid@=" + std::to_string(serial) + "/col@=0/ct@=0/gt@=0/";
        case ScriptEvent::Kind::Enter:
            return "type@=userenter/rid@=" + rid + "/gid@=" + groupId + "/userinfo@=" + douyuEscape(user) +
                   "/";
        case ScriptEvent::Kind::Gift:
            break;
    }
    const std::string& gift = event.text;
    std::string count = std::to_string(event.count);
    if (gift == "鱼丸") {
        return "type@=donateres/rid@=" + rid + "/gid@=" + groupId + "/ms@=" + count +
               "/sb@=0/src_strength@=0/dst_weight@=0/r@=0/sui@=" + douyuEscape(user) + "/";
    }
    static const std::pair<const char*, int> rewards[] = {{"低级酬勤", 1}, {"中级酬勤", 2}, {"高级酬勤", 3}};
    for (const auto& [name, level] : rewards) {
        if (gift == name) {
            return "type@=bc_buy_deserve/rid@=" + rid + "/gid@=" + groupId +
                   "/lev@=" + std::to_string(level) + "/cnt@=" + count + "/hits@=1/sid@=" + uid +
                   "/sui@=" + douyuEscape(user) + "/";
        }
    }
    static const std::pair<const char*, int> kinds[] = {{"520", 2}, {"赞", 3}, {"666", 4}, {"飞机", 5}};
    int kind = 7;
    for (const auto& [name, k] : kinds) {
        if (gift == name) {
            kind = k;
        }
    }
    return "type@=dgn/gfid@=" + std::to_string(100 + kind) + "/gs@=" + std::to_string(kind) + "/sid@=" + uid +
           "/src_ncnm@=" + douyuEscape(event.nickname) + "/rid@=" + rid + "/gfcnt@=" + count +
           "/hits@=1/level@=1/";
}

}  // namespace sim
