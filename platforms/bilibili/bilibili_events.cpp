#include "platforms/bilibili/bilibili_events.h"

#include <algorithm>
#include <limits>

#include "platforms/bilibili/bilibili_messages.pb.h"
#include "platforms/common/message_bound.h"
#include "util/base64.h"
#include "util/json_reader.h"
#include "util/text.h"

namespace bilibili {

namespace {

using util::JsonReader;

// INTERACT_WORD's msg_type.
enum Interaction : std::int64_t {
    kEntered = 1,
    kFollowed = 2,
    kShared = 3,
    kSpecialFollow = 4,
    kMutualFollow = 5,
};

std::int32_t clampCount(long long n) {
    return static_cast<std::int32_t>(std::clamp<long long>(n, 0, std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::string> localText(JsonReader& json, std::string_view pointer) {
    auto value = json.text(pointer);
    return value ? std::optional<std::string>(util::utf8ToLocal(*value)) : std::nullopt;
}

void chatLine(JsonReader& json, std::vector<ChatCommand>& out) {
    auto text = localText(json, "/info/1");
    auto name = localText(json, "/info/2/1");
    if (text && name) {
        out.push_back({ChatCommand::Chat, std::move(*name), std::move(*text), 0,
                       json.integer("/info/2/0").value_or(0)});
    }
}

void gift(JsonReader& json, const char* name, const char* giftName, std::vector<ChatCommand>& out) {
    auto giver = localText(json, name);
    auto what = localText(json, giftName);
    auto n = json.integer("/data/num");
    if (giver && what && n) {
        out.push_back({ChatCommand::Gift, std::move(*giver), std::move(*what), clampCount(*n),
                       json.integer("/data/uid").value_or(0)});
        // total_coin is the whole gift's worth; older bodies give only the
        // price of one. A negative figure is no value at all.
        auto total = json.integer("/data/total_coin");
        auto price = json.integer("/data/price");
        if (total && *total >= 0) {
            out.back().value = *total;
        } else if (price && *price >= 0) {
            out.back().value = *price * out.back().count;
        }
    }
}

void interaction(std::int64_t type, std::string name, std::int64_t uid, std::vector<ChatCommand>& out) {
    switch (type) {
        case kEntered:
            out.push_back({ChatCommand::Enter, std::move(name), {}, 0, uid});
            break;
        case kFollowed:
        case kSpecialFollow:
        case kMutualFollow:
            out.push_back({ChatCommand::Follow, std::move(name), {}, 0, uid});
            break;
        case kShared:
            out.push_back({ChatCommand::Share, std::move(name), {}, 0, uid});
            break;
        default:
            break;
    }
}

void interactWord(JsonReader& json, std::vector<ChatCommand>& out) {
    auto type = json.integer("/data/msg_type");
    auto name = localText(json, "/data/uname");
    if (type && name) {
        interaction(*type, std::move(*name), json.integer("/data/uid").value_or(0), out);
    }
}

bool payload(JsonReader& json, std::string& bytes) {
    auto encoded = json.text("/data/pb");
    return encoded && decodeBase64(*encoded, bytes);
}

void interactWordV2(JsonReader& json, std::vector<ChatCommand>& out) {
    std::string bytes;
    wire::InteractWord word;
    if (payload(json, bytes) && word.ParseFromString(bytes)) {
        auto uid = static_cast<std::int64_t>(std::min<std::uint64_t>(
            word.uid(), static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())));
        interaction(word.msg_type(), util::utf8ToLocal(word.uname()), uid, out);
    }
}

void giftV2(JsonReader& json, std::vector<ChatCommand>& out) {
    std::string bytes;
    wire::SendGift message;
    if (!payload(json, bytes) || !message.ParseFromString(bytes)) {
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

void superChat(JsonReader& json, std::vector<ChatCommand>& out) {
    auto name = localText(json, "/data/user_info/uname");
    auto message = localText(json, "/data/message");
    if (name && message) {
        out.push_back({ChatCommand::SuperChat, std::move(*name), std::move(*message),
                       clampCount(json.integer("/data/price").value_or(0)),
                       json.integer("/data/uid").value_or(0)});
    }
}

void like(JsonReader& json, std::vector<ChatCommand>& out) {
    if (auto name = localText(json, "/data/uname")) {
        out.push_back({ChatCommand::Like, std::move(*name), {}, 0, json.integer("/data/uid").value_or(0)});
    }
}

void loginNotice(JsonReader& json, std::vector<ChatCommand>& out) {
    out.push_back({ChatCommand::Notice, {}, localText(json, "/data/notice_msg").value_or(""), 0});
}

using Reader = void (*)(JsonReader&, std::vector<ChatCommand>&);

struct Command {
    std::string_view name;
    Reader read;
};

const Command kCommands[] = {
    {"DANMU_MSG", chatLine},
    {"SEND_GIFT", [](JsonReader& json,
                     std::vector<ChatCommand>& out) { gift(json, "/data/uname", "/data/giftName", out); }},
    {"GUARD_BUY",
     [](JsonReader& json, std::vector<ChatCommand>& out) {
         gift(json, "/data/username", "/data/gift_name", out);
     }},
    {"INTERACT_WORD", interactWord},
    {"INTERACT_WORD_V2", interactWordV2},
    {"SEND_GIFT_V2", giftV2},
    {"SUPER_CHAT_MESSAGE", superChat},
    {"LIKE_INFO_V3_CLICK", like},
    {"LOG_IN_NOTICE", loginNotice},
};

// The packet layer already bounds a body at 8 MB: anything it passes may be
// indexed to find the command's name. A command of 1 MB, or of 20,000
// elements, is a hundred times a real one: beyond that nothing is read.
constexpr util::JsonLimits kCommandLimits{8u << 20, 32, 20'000};

}  // namespace

std::string_view commandName(std::string_view cmd) {
    return cmd.substr(0, cmd.find(':'));
}

CommandOutcome readCommand(std::string_view json, std::vector<ChatCommand>& out) {
    JsonReader reader(kCommandLimits);
    if (!reader.open(json)) {
        return {};
    }
    auto cmd = reader.text("/cmd");
    if (!cmd) {
        return {reader.isObject() ? CommandOutcome::Unread : CommandOutcome::NotJson, {}};
    }
    std::string name(commandName(*cmd));
    auto command = std::find_if(std::begin(kCommands), std::end(kCommands),
                                [&](const Command& c) { return c.name == name; });
    if (command == std::end(kCommands)) {
        return {CommandOutcome::Unread, std::move(name)};
    }
    if (json.size() > platforms::kMaxChatMessageBytes) {
        return {CommandOutcome::OutOfBounds, std::move(name)};
    }
    switch (reader.check()) {
        case util::JsonShape::Ok:
            break;
        case util::JsonShape::Malformed:
            return {CommandOutcome::NotJson, std::move(name)};
        default:
            return {CommandOutcome::OutOfBounds, std::move(name)};
    }
    command->read(reader, out);
    return {CommandOutcome::Read, std::move(name)};
}

bool parseCommand(std::string_view json, std::vector<ChatCommand>& out) {
    return readCommand(json, out).status != CommandOutcome::NotJson;
}

bool decodeBase64(std::string_view text, std::string& out) {
    auto decoded = util::decodeBase64(text, util::Base64Mode::Strict);
    if (!decoded) {
        return false;
    }
    out = std::move(*decoded);
    return true;
}

}  // namespace bilibili
