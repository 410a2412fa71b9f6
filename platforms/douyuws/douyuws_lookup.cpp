#include "platforms/douyuws/douyuws_lookup.h"

#include <boost/property_tree/ptree.hpp>

#include "util/bounded_json.h"
#include "util/text.h"
#include "util/url_path.h"

namespace douyuws {

namespace {

using boost::property_tree::ptree;

// Room ids are 32-bit numbers on the wire; ten digits cover them.
bool isRoomId(std::string_view text) {
    if (text.empty() || text.size() > 10 || text.front() == '0') {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

void addName(GiftNames& names, const std::string& id, const std::string& utf8Name) {
    std::string trimmedId = util::trimCopy(id);
    std::string name = util::utf8ToLocal(utf8Name);
    if (!trimmedId.empty() && !name.empty()) {
        names[trimmedId] = std::move(name);
    }
}

std::string withoutTrailingSlash(std::string base) {
    while (!base.empty() && base.back() == '/') {
        base.pop_back();
    }
    return base;
}

}  // namespace

std::optional<std::string> roomIdFromBetard(std::string_view document) {
    ptree tree;
    if (!util::readBoundedJson(document, tree)) {
        return std::nullopt;
    }
    auto id = tree.get_optional<std::string>("room.room_id");
    if (!id) {
        return std::nullopt;
    }
    std::string trimmed = util::trimCopy(*id);
    if (!isRoomId(trimmed)) {
        return std::nullopt;
    }
    return trimmed;
}

bool readGiftList(std::string_view document, GiftNames& names) {
    ptree tree;
    if (!util::readBoundedJson(document, tree)) {
        return false;
    }
    auto list = tree.get_child_optional("data.giftList");
    if (!list) {
        return false;
    }
    for (const auto& [key, gift] : *list) {
        addName(names, gift.get<std::string>("id", ""), gift.get<std::string>("name", ""));
    }
    return true;
}

bool readPropList(std::string_view document, GiftNames& names) {
    auto open = document.find('(');
    auto close = document.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return false;
    }
    ptree tree;
    if (!util::readBoundedJson(document.substr(open + 1, close - open - 1), tree)) {
        return false;
    }
    auto data = tree.get_child_optional("data");
    if (!data) {
        return false;
    }
    for (const auto& [id, prop] : *data) {
        addName(names, id, prop.get<std::string>("name", ""));
    }
    return true;
}

std::string giftNameOf(const std::string& id, const GiftNames& roomGifts, const GiftNames& props) {
    if (auto found = roomGifts.find(id); found != roomGifts.end()) {
        return found->second;
    }
    if (auto found = props.find(id); found != props.end()) {
        return found->second;
    }
    static thread_local const std::string fallback = util::utf8ToLocal("礼物");
    return fallback;
}

std::optional<std::string> roomNumberOf(std::string_view typed) {
    std::string trimmed = util::trimCopy(typed);
    if (!isRoomId(trimmed)) {
        return std::nullopt;
    }
    return trimmed;
}

std::string betardUrl(const std::string& apiBase, std::string_view typedRoom) {
    return withoutTrailingSlash(apiBase) + "/betard/" + util::urlEncodeSegment(util::trimCopy(typedRoom));
}

std::string giftListUrl(const std::string& giftBase, const std::string& roomId) {
    return withoutTrailingSlash(giftBase) + "/api/gift/v2/web/list?rid=" + roomId;
}

std::string propListUrl(const std::string& webconfBase) {
    return withoutTrailingSlash(webconfBase) + "/resource/common/prop_gift_list/prop_gift_config.json";
}

}  // namespace douyuws
