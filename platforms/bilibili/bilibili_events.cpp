#include "platforms/bilibili/bilibili_events.h"

#include <algorithm>
#include <boost/property_tree/ptree.hpp>
#include <limits>
#include <optional>

#include "platforms/bilibili/bilibili_messages.pb.h"
#include "util/bounded_json.h"
#include "util/text.h"

namespace bilibili {

namespace {

using boost::property_tree::ptree;

constexpr std::int64_t kEnteredRoom = 1;

std::int32_t clampCount(long long n) {
    return static_cast<std::int32_t>(std::clamp<long long>(n, 0, std::numeric_limits<std::int32_t>::max()));
}

// The n-th element of a JSON array (children with empty keys).
const ptree* element(const ptree& array, std::size_t n) {
    for (const auto& [key, child] : array) {
        if (!key.empty()) {
            return nullptr;
        }
        if (n-- == 0) {
            return &child;
        }
    }
    return nullptr;
}

std::optional<std::string> text(const ptree& root, const char* path) {
    auto value = root.get_optional<std::string>(path);
    if (!value) {
        return std::nullopt;
    }
    return util::utf8ToLocal(*value);
}

std::optional<long long> number(const ptree& root, const char* path) {
    auto value = root.get_optional<std::string>(path);
    if (!value) {
        return std::nullopt;
    }
    try {
        std::size_t used = 0;
        long long n = std::stoll(*value, &used);
        return used == value->size() ? std::optional<long long>(n) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void chatLine(const ptree& root, std::vector<ChatCommand>& out) {
    const ptree* info = root.get_child_optional("info").get_ptr();
    const ptree* message = info ? element(*info, 1) : nullptr;
    const ptree* sender = info ? element(*info, 2) : nullptr;
    const ptree* name = sender ? element(*sender, 1) : nullptr;
    if (message && name && message->empty() && name->empty()) {
        out.push_back(
            {ChatCommand::Chat, util::utf8ToLocal(name->data()), util::utf8ToLocal(message->data()), 0});
    }
}

void gift(const ptree& root, const char* name, const char* giftName, const char* count,
          std::vector<ChatCommand>& out) {
    auto giver = text(root, name);
    auto what = text(root, giftName);
    auto n = number(root, count);
    if (giver && what && n) {
        out.push_back({ChatCommand::Gift, std::move(*giver), std::move(*what), clampCount(*n)});
    }
}

void entry(const ptree& root, std::vector<ChatCommand>& out) {
    auto kind = number(root, "data.msg_type");
    auto name = text(root, "data.uname");
    if (kind && *kind == kEnteredRoom && name) {
        out.push_back({ChatCommand::Enter, std::move(*name), {}, 0});
    }
}

bool payload(const ptree& root, std::string& bytes) {
    auto encoded = root.get_optional<std::string>("data.pb");
    return encoded && decodeBase64(*encoded, bytes);
}

void entryV2(const ptree& root, std::vector<ChatCommand>& out) {
    std::string bytes;
    wire::InteractWord word;
    if (payload(root, bytes) && word.ParseFromString(bytes) && word.msg_type() == kEnteredRoom) {
        out.push_back({ChatCommand::Enter, util::utf8ToLocal(word.uname()), {}, 0});
    }
}

void giftV2(const ptree& root, std::vector<ChatCommand>& out) {
    std::string bytes;
    wire::SendGift message;
    if (!payload(root, bytes) || !message.ParseFromString(bytes)) {
        return;
    }
    std::string giver = util::utf8ToLocal(message.uname());
    for (const auto& item : message.gifts()) {
        if (!item.gift_name().empty()) {
            out.push_back(
                {ChatCommand::Gift, giver, util::utf8ToLocal(item.gift_name()), clampCount(item.num())});
        }
    }
}

void superChat(const ptree& root, std::vector<ChatCommand>& out) {
    auto name = text(root, "data.user_info.uname");
    auto message = text(root, "data.message");
    if (name && message) {
        out.push_back({ChatCommand::SuperChat, std::move(*name), std::move(*message), 0});
    }
}

int base64Value(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

std::string_view commandName(std::string_view cmd) {
    return cmd.substr(0, cmd.find(':'));
}

bool parseCommand(std::string_view json, std::vector<ChatCommand>& out) {
    ptree root;
    if (!util::readBoundedJson(json, root)) {
        return false;
    }
    std::string cmd = root.get<std::string>("cmd", "");
    std::string_view name = commandName(cmd);
    if (name == "DANMU_MSG") {
        chatLine(root, out);
    } else if (name == "SEND_GIFT") {
        gift(root, "data.uname", "data.giftName", "data.num", out);
    } else if (name == "GUARD_BUY") {
        gift(root, "data.username", "data.gift_name", "data.num", out);
    } else if (name == "INTERACT_WORD") {
        entry(root, out);
    } else if (name == "INTERACT_WORD_V2") {
        entryV2(root, out);
    } else if (name == "SEND_GIFT_V2") {
        giftV2(root, out);
    } else if (name == "SUPER_CHAT_MESSAGE") {
        superChat(root, out);
    }
    return true;
}

bool decodeBase64(std::string_view text, std::string& out) {
    while (!text.empty() && text.back() == '=') {
        text.remove_suffix(1);
    }
    out.clear();
    unsigned buffer = 0;
    int bits = 0;
    for (unsigned char c : text) {
        int value = base64Value(c);
        if (value < 0) {
            return false;
        }
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return bits < 6;
}

}  // namespace bilibili
