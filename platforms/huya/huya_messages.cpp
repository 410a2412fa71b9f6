#include "platforms/huya/huya_messages.h"

#include <optional>

#include "platforms/huya/tars.h"
#include "util/text.h"

namespace huya {

namespace {

using tars::Struct;

std::string command(CommandType type, std::string_view payload) {
    tars::Writer writer;
    writer.integer(0, type);
    writer.bytes(1, payload);
    writer.integer(2, 0);  // lRequestId
    writer.text(3, "");    // traceId
    writer.integer(4, 0);  // iEncryptType
    return writer.take();
}

std::string local(std::string_view utf8) {
    return util::utf8ToLocal(std::string(utf8));
}

// One push payload; false when it does not decode as the uri's message.
bool readPush(std::int64_t uri, std::string_view payload, Decoded& out) {
    auto add = [&out](Event event) {
        bool said = event.kind == Event::Kind::Chat ? !event.text.empty() : !event.name.empty();
        if (out.events.size() < kMaxEventsPerMessage && said) {
            out.events.push_back(std::move(event));
        }
    };
    if (uri != kChatUri && uri != kGiftUri && uri != kNobleEnterUri && uri != kVipEnterUri) {
        if (out.unread.size() < kMaxEventsPerMessage) {
            out.unread.emplace_back(uri, payload.size());
        }
        return true;
    }
    auto body = Struct::parse(payload);
    if (!body) {
        return false;
    }
    switch (uri) {
        case kChatUri: {  // MessageNotice: tUserInfo(SenderInfo) 0, sContent 3
            auto sender = body->child(0);
            std::string_view content = body->bytes(3);
            if (sender && !content.empty()) {
                add({Event::Kind::Chat, local(sender->bytes(2)), local(content), 1});
            }
            return true;
        }
        case kGiftUri: {  // SendItemSubBroadcastPacket: iItemCount 2, sSenderNick 6, sPropsName 20
            std::int64_t count = body->integer(2, 1);
            if (count < 1 || count > INT32_MAX) {
                count = 1;
            }
            std::string_view gift = body->bytes(20);
            add({Event::Kind::Gift, local(body->bytes(6)), gift.empty() ? local("礼物") : local(gift),
                 static_cast<std::int32_t>(count)});
            return true;
        }
        case kNobleEnterUri: {  // NobleEnterNotice: tNobleInfo(NobleBase) 0 with sNickName 1
            if (auto noble = body->child(0)) {
                add({Event::Kind::Enter, local(noble->bytes(1)), {}, 1});
            }
            return true;
        }
        default: {  // VipEnterBanner: sNickName 1
            add({Event::Kind::Enter, local(body->bytes(1)), {}, 1});
            return true;
        }
    }
}

}  // namespace

std::string registerGroupCommand(const RoomIds& ids) {
    if (ids.presenterUid <= 0) {
        return {};
    }
    const std::string uid = std::to_string(ids.presenterUid);
    const std::string groups[] = {"live:" + uid, "chat:" + uid};
    tars::Writer request;  // WSRegisterGroupReq: vGroupId 0, sToken 1
    request.list(0, std::size(groups), [&groups](tars::Writer& w, std::size_t i) { w.text(0, groups[i]); });
    request.text(1, "");
    return command(kRegisterGroupReq, request.data());
}

std::string registerUserCommand(const RoomIds& ids) {
    if (ids.yyid <= 0 || ids.channelId <= 0) {
        return {};
    }
    tars::Writer user;  // WSUserInfo
    user.integer(0, ids.yyid);
    user.boolean(1, true);  // bAnonymous
    user.text(2, "");       // sGuid
    user.text(3, "");       // sToken
    user.integer(4, ids.channelId);
    user.integer(5, ids.subChannelId);
    user.integer(6, 0);  // lGroupId
    user.integer(7, 0);  // lGroupType
    return command(kRegisterReq, user.data());
}

std::string heartbeatCommand() {
    return command(kHeartBeatReq, {});
}

Decoded decodeMessage(std::string_view message) {
    Decoded out;
    auto outer = Struct::parse(message);
    if (!outer) {
        return out;
    }
    auto type = outer->integer(0, -1);
    if (type < INT32_MIN || type > INT32_MAX) {
        return out;
    }
    out.type = static_cast<std::int32_t>(type);
    if (out.type == kPushMessage) {  // WSPushMessage: iUri 1, sMsg 2
        auto push = Struct::parse(outer->bytes(1));
        out.valid = push && readPush(push->integer(1), push->bytes(2), out);
    } else if (out.type == kPushMessageV2) {  // WSPushMessage_V2: vMsgItem 1 of WSMsgItem (iUri 0, sMsg 1)
        auto push = Struct::parse(outer->bytes(1));
        bool every = true;
        out.valid = push && push->forEach(1, [&](const tars::Field& element) {
            auto item = Struct::of(element);
            every = item && readPush(item->integer(0), item->bytes(1), out) && every;
            return true;
        });
        out.valid = out.valid && every;
    } else {
        out.valid = true;
    }
    return out;
}

}  // namespace huya
