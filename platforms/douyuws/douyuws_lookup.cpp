#include "platforms/douyuws/douyuws_lookup.h"

#include "util/fetch.h"
#include "util/json_reader.h"
#include "util/text.h"
#include "util/url_path.h"

namespace douyuws {

namespace {

// A real room list holds a few hundred gifts and the prop list under two
// thousand, each a small object, and a betard document is smaller still; far
// more is a hostile answer, refused before it is walked.
constexpr util::JsonLimits kAnswerLimits{
    .maxBytes = util::kFetchBodyCap, .maxDepth = 64, .maxElements = 1'000'000};
constexpr std::size_t kMaxGifts = 20'000;

// Ids arrive as numbers in some answers and as texts in others.
std::string idText(util::JsonValue value) {
    if (auto number = util::jsonInteger(value)) {
        return std::to_string(*number);
    }
    return util::jsonText(value).value_or("");
}

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
    util::JsonReader reader(kAnswerLimits);
    if (!reader.open(document) || reader.check() != util::JsonShape::Ok) {
        return std::nullopt;
    }
    auto number = reader.integer("/room/room_id");
    std::string trimmed =
        util::trimCopy(number ? std::to_string(*number) : reader.text("/room/room_id").value_or(""));
    if (!isRoomId(trimmed)) {
        return std::nullopt;
    }
    return trimmed;
}

bool readGiftList(std::string_view document, GiftNames& names) {
    util::JsonReader reader(kAnswerLimits);
    if (!reader.open(document) || reader.check() != util::JsonShape::Ok) {
        return false;
    }
    if (reader.has("/error") && reader.integer("/error") != 0) {
        return false;
    }
    // Today's answers hold the list under data.giftList; some hand out the
    // array as data itself.
    const char* list = reader.has("/data/giftList") ? "/data/giftList" : "/data";
    return reader.forEach(list, kMaxGifts, [&](util::JsonValue gift) {
        std::string id = idText(gift["id"]);
        addName(names, id, util::jsonText(gift["name"]).value_or(""));
        return true;
    });
}

bool readPropList(std::string_view document, GiftNames& names) {
    auto open = document.find('(');
    auto close = document.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return false;
    }
    // The list is keyed by id, which the reader's look-ups do not walk: the
    // same bounds, then the validated document's own object.
    std::string_view json = document.substr(open + 1, close - open - 1);
    simdjson::dom::parser parser;
    simdjson::dom::object data;
    if (util::measureJson(json, kAnswerLimits) != util::JsonShape::Ok ||
        parser.parse(json.data(), json.size()).at_key("data").get_object().get(data) != simdjson::SUCCESS) {
        return false;
    }
    std::size_t seen = 0;
    for (auto [id, prop] : data) {
        if (seen++ == kMaxGifts) {
            break;
        }
        addName(names, std::string(id), util::jsonText(prop["name"]).value_or(""));
    }
    return true;
}

bool fetchRoomGifts(const PageFetch& fetch, const std::string& giftBase, const std::string& roomId,
                    GiftNames& names) {
    for (int version : {3, 2}) {
        GiftNames found;
        if (readGiftList(fetch(giftListUrl(giftBase, roomId, version)), found)) {
            names = std::move(found);
            return true;
        }
    }
    return false;
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

std::string giftListUrl(const std::string& giftBase, const std::string& roomId, int version) {
    return withoutTrailingSlash(giftBase) + "/api/gift/v" + std::to_string(version) +
           "/web/list?rid=" + roomId;
}

std::string propListUrl(const std::string& webconfBase) {
    return withoutTrailingSlash(webconfBase) + "/resource/common/prop_gift_list/prop_gift_config.json";
}

}  // namespace douyuws
