// Feeds arbitrary text to the JSON reader: lazy look-ups in an order that
// rewinds, the check, then the same look-ups and array walks with fields read
// out of order on what the check accepted.
#include <cstdint>
#include <string_view>

#include "util/json_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    util::JsonReader reader(util::JsonLimits{1u << 16, 16, 4096});
    if (!reader.open(text)) {
        return 0;
    }
    (void)reader.text("/cmd");
    (void)reader.integer("/data/num");
    (void)reader.isObject();
    (void)reader.check();
    (void)reader.integer("/data/num");
    (void)reader.text("/info/2/1");
    (void)reader.boolean("/data/isLogin");
    (void)reader.forEach("/data/host_list", 8, [](util::JsonValue entry) {
        (void)util::jsonInteger(entry["port"]);
        (void)util::jsonText(entry["host"]);
        (void)util::jsonBool(entry["b"]);
        return true;
    });
    (void)reader.forEach("/info", 64, [](util::JsonValue element) { return !util::jsonText(element); });
    (void)reader.has("/data");
    (void)reader.isObject();
    (void)reader.text("/cmd");
    return 0;
}
