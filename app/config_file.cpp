#include "app/config_file.h"

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

#include "app/capped_file.h"
#include "core/room_list.h"
#include "util/text.h"

namespace app {

namespace {

namespace pt = boost::property_tree;

// The keys in the order the file is written, GBK.
struct Keys {
    std::string platform = util::utf8ToLocal("直播平台");
    std::string voice = util::utf8ToLocal("语音模板");
    std::string volume = util::utf8ToLocal("音量");
    std::string speed = util::utf8ToLocal("语速");
    std::string room = util::utf8ToLocal("房间号");
    std::string minLength = util::utf8ToLocal("弹幕长度最小限制");
    std::string maxLength = util::utf8ToLocal("弹幕长度最大限制");
    std::string cacheCount = util::utf8ToLocal("弹幕缓存数量");
    std::string speakChat = util::utf8ToLocal("弹幕语音");
    std::string speakGifts = util::utf8ToLocal("礼物语音");
    std::string speechSeconds = util::utf8ToLocal("语音时长限制");
    std::string speakWelcome = util::utf8ToLocal("欢迎语音");
    std::string speakNickname = util::utf8ToLocal("播报昵称");
    std::string engineCommand = util::utf8ToLocal("语音引擎命令");
    std::string filterNames = util::utf8ToLocal("过滤昵称");
    std::string foldRepeats = util::utf8ToLocal("合并重复弹幕");
    std::string outputDevice = util::utf8ToLocal("输出设备");
    std::string engineRawText = util::utf8ToLocal("引擎原文");
    std::string speakFollows = util::utf8ToLocal("读关注");
    std::string speakShares = util::utf8ToLocal("读分享");
    std::string speakLikes = util::utf8ToLocal("读点赞");
    std::string browserAgent = util::utf8ToLocal("浏览器标识");
    std::string chatTemplate = util::utf8ToLocal("弹幕模板");
    std::string giftTemplate = util::utf8ToLocal("礼物模板");
    std::string welcomeTemplate = util::utf8ToLocal("欢迎模板");
    std::string followTemplate = util::utf8ToLocal("关注模板");
    std::string paidTemplate = util::utf8ToLocal("醒目留言模板");
    std::string minGiftValue = util::utf8ToLocal("礼物最低价值");
    std::string viewerCooldown = util::utf8ToLocal("同一观众间隔");
    std::string maxWait = util::utf8ToLocal("弹幕最长等待");
    std::string alsoRooms = util::utf8ToLocal("同时房间");
};

const Keys& keys() {
    static const Keys k;
    return k;
}

// Only top-level keys count; a dotted key would otherwise be read as a path.
template <typename T>
T topLevel(const pt::ptree& tree, const std::string& key, const T& fallback) {
    auto it = tree.find(key);
    if (it == tree.not_found()) {
        return fallback;
    }
    return it->second.get_value_optional<T>().value_or(fallback);
}

std::int32_t inRange(const pt::ptree& tree, const std::string& key, std::int32_t fallback, Range range) {
    const std::int32_t value = topLevel(tree, key, fallback);
    return range.holds(value) ? value : fallback;
}

// Marks a value kept in UTF-8 because GBK cannot hold it (a path with a rare
// character): the file stays GBK for everything else.
constexpr std::string_view kUtf8Marker = "utf8:";

std::string storedText(const std::string& utf8) {
    std::string line;
    for (char c : utf8) {
        if (c != '\r' && c != '\n') {
            line += c;
        }
    }
    std::string gbk = util::utf8ToLocal(line);
    if (util::localToUtf8(gbk) == line && gbk.rfind(kUtf8Marker, 0) != 0) {
        return gbk;
    }
    return std::string(kUtf8Marker) + line;
}

std::string readStoredText(const std::string& stored) {
    if (stored.rfind(kUtf8Marker, 0) == 0) {
        return stored.substr(kUtf8Marker.size());
    }
    return util::localToUtf8(stored);
}

}  // namespace

Settings loadConfig(const std::string& nativePath, std::span<const RoomIdKind> kinds) {
    Settings settings;
    pt::ptree tree;
    try {
        std::optional<std::string> text = readCappedFile(nativePath, kConfigFileCap);
        if (!text) {
            return settings;
        }
        std::istringstream in(std::move(*text));
        pt::read_ini(in, tree);
    } catch (const pt::ptree_error&) {
        return settings;
    }
    const Keys& k = keys();
    settings.voice = inRange(tree, k.voice, settings.voice, {0, kVoiceCount - 1});
    settings.platform = inRange(tree, k.platform, settings.platform, {0, static_cast<int>(kinds.size()) - 1});
    settings.volume = inRange(tree, k.volume, settings.volume, kVolumeRange);
    settings.speed = inRange(tree, k.speed, settings.speed, kSpeedRange);
    settings.roomNumber = topLevel(tree, k.room, settings.roomNumber);
    settings.minChatLength = inRange(tree, k.minLength, settings.minChatLength, kMinChatLengthRange);
    settings.maxChatLength = inRange(tree, k.maxLength, settings.maxChatLength, kMaxChatLengthRange);
    settings.cacheCount = inRange(tree, k.cacheCount, settings.cacheCount, kCacheCountRange);
    settings.speakChat = topLevel(tree, k.speakChat, settings.speakChat);
    settings.speakGifts = topLevel(tree, k.speakGifts, settings.speakGifts);
    settings.speechSeconds = inRange(tree, k.speechSeconds, settings.speechSeconds, kSpeechSecondsRange);
    settings.speakWelcome = topLevel(tree, k.speakWelcome, settings.speakWelcome);
    settings.speakNickname = topLevel(tree, k.speakNickname, settings.speakNickname);
    settings.engineCommand = readStoredText(topLevel(tree, k.engineCommand, std::string()));
    settings.filterNames = topLevel(tree, k.filterNames, settings.filterNames);
    settings.foldRepeats = topLevel(tree, k.foldRepeats, settings.foldRepeats);
    settings.outputDevice = readStoredText(topLevel(tree, k.outputDevice, std::string()));
    settings.engineRawText = topLevel(tree, k.engineRawText, settings.engineRawText);
    settings.speakFollows = topLevel(tree, k.speakFollows, settings.speakFollows);
    settings.speakShares = topLevel(tree, k.speakShares, settings.speakShares);
    settings.speakLikes = topLevel(tree, k.speakLikes, settings.speakLikes);
    settings.browserAgent = readStoredText(topLevel(tree, k.browserAgent, std::string()));
    settings.chatTemplate = readStoredText(topLevel(tree, k.chatTemplate, std::string()));
    settings.giftTemplate = readStoredText(topLevel(tree, k.giftTemplate, std::string()));
    settings.welcomeTemplate = readStoredText(topLevel(tree, k.welcomeTemplate, std::string()));
    settings.followTemplate = readStoredText(topLevel(tree, k.followTemplate, std::string()));
    settings.paidTemplate = readStoredText(topLevel(tree, k.paidTemplate, std::string()));
    settings.minGiftValue = inRange(tree, k.minGiftValue, settings.minGiftValue, kMinGiftValueRange);
    settings.viewerCooldown = inRange(tree, k.viewerCooldown, settings.viewerCooldown, kViewerCooldownRange);
    settings.maxWait = inRange(tree, k.maxWait, settings.maxWait, kMaxWaitRange);
    // A list that does not parse as a whole reads no extra room: half a list
    // would read rooms the host did not ask for.
    settings.alsoRooms = roomListText(parseRoomList(topLevel(tree, k.alsoRooms, std::string()), kinds).rooms);
    return settings;
}

std::string configText(const Settings& s) {
    const Keys& k = keys();
    // A line break inside the room number would split the line and the file
    // would no longer parse.
    std::string room;
    for (char c : s.roomNumber) {
        if (c != '\r' && c != '\n') {
            room += c;
        }
    }
    pt::ptree tree;
    auto put = [&tree](const std::string& key, const std::string& value) {
        tree.push_back(pt::ptree::value_type(key, pt::ptree(value)));
    };
    auto number = [](std::int64_t value) { return std::to_string(value); };
    put(k.platform, number(s.platform));
    put(k.voice, number(s.voice));
    put(k.volume, number(s.volume));
    put(k.speed, number(s.speed));
    put(k.room, room);
    put(k.minLength, number(s.minChatLength));
    put(k.maxLength, number(s.maxChatLength));
    put(k.cacheCount, number(s.cacheCount));
    put(k.speakChat, number(s.speakChat ? 1 : 0));
    put(k.speakGifts, number(s.speakGifts ? 1 : 0));
    put(k.speechSeconds, number(s.speechSeconds));
    put(k.speakWelcome, number(s.speakWelcome ? 1 : 0));
    put(k.speakNickname, number(s.speakNickname ? 1 : 0));
    put(k.engineCommand, storedText(s.engineCommand));
    put(k.filterNames, number(s.filterNames ? 1 : 0));
    put(k.foldRepeats, number(s.foldRepeats ? 1 : 0));
    put(k.outputDevice, storedText(s.outputDevice));
    put(k.engineRawText, number(s.engineRawText ? 1 : 0));
    put(k.speakFollows, number(s.speakFollows ? 1 : 0));
    put(k.speakShares, number(s.speakShares ? 1 : 0));
    put(k.speakLikes, number(s.speakLikes ? 1 : 0));
    put(k.browserAgent, storedText(s.browserAgent));
    put(k.chatTemplate, storedText(s.chatTemplate));
    put(k.giftTemplate, storedText(s.giftTemplate));
    put(k.welcomeTemplate, storedText(s.welcomeTemplate));
    put(k.followTemplate, storedText(s.followTemplate));
    put(k.paidTemplate, storedText(s.paidTemplate));
    put(k.minGiftValue, number(s.minGiftValue));
    put(k.viewerCooldown, number(s.viewerCooldown));
    put(k.maxWait, number(s.maxWait));
    put(k.alsoRooms, storedText(util::localToUtf8(s.alsoRooms)));

    std::ostringstream out;
    pt::write_ini(out, tree);
    std::string text;
    for (char c : out.str()) {
        if (c == '\n') {
            text += '\r';
        }
        text += c;
    }
    return text;
}

bool saveConfig(const std::string& nativePath, const Settings& settings) {
    return replaceFile(nativePath, configText(settings));
}

}  // namespace app
