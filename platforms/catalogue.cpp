#include "platforms/catalogue.h"

#include <array>

// The list itself: one line a platform, in entry order, never reordered (the
// settings store the index). Each name is the folder whose `<name>_entry.cpp`
// defines `<name>Entry()`.
#define SONARO_PLATFORMS(PLATFORM) \
    PLATFORM(douyu)                \
    PLATFORM(panda)                \
    PLATFORM(zhanqi)               \
    PLATFORM(longzhu)              \
    PLATFORM(bilibili)             \
    PLATFORM(douyuws)              \
    PLATFORM(huya)

namespace platforms {

#define SONARO_DECLARE_ENTRY(name) const PlatformEntry& name##Entry();
SONARO_PLATFORMS(SONARO_DECLARE_ENTRY)
#undef SONARO_DECLARE_ENTRY

std::span<const PlatformEntry* const> catalogue() {
#define SONARO_LIST_ENTRY(name) &name##Entry(),
    static const std::array list{SONARO_PLATFORMS(SONARO_LIST_ENTRY)};
#undef SONARO_LIST_ENTRY
    return list;
}

const PlatformEntry* entryAt(int index) {
    const auto list = catalogue();
    return index >= 0 && static_cast<std::size_t>(index) < list.size() ? list[index] : nullptr;
}

std::vector<RoomIdKind> roomKinds() {
    std::vector<RoomIdKind> kinds;
    for (const PlatformEntry* entry : catalogue()) {
        kinds.push_back(entry->rooms);
    }
    return kinds;
}

FeederFactories feederFactories(const PlatformHosts& hosts) {
    FeederFactories factories;
    for (const PlatformEntry* entry : catalogue()) {
        factories[entry->index] = [hosts, make = entry->makeClient](boost::asio::io_context& loop,
                                                                    MessageWindow& window,
                                                                    const std::atomic<bool>& closing) {
            return make(hosts, loop, window, closing);
        };
    }
    return factories;
}

std::vector<HostVariable> hostVariables() {
    std::vector<HostVariable> variables;
    for (const PlatformEntry* entry : catalogue()) {
        variables.insert(variables.end(), entry->hosts.begin(), entry->hosts.end());
    }
    variables.push_back({kTestCaVariable, ""});
    return variables;
}

bool setHost(PlatformHosts& hosts, std::string_view variable, std::string value) {
    if (value.empty()) {
        return false;
    }
    for (const HostVariable& known : hostVariables()) {
        if (variable == known.name) {
            hosts.values[known.name] = std::move(value);
            return true;
        }
    }
    return false;
}

}  // namespace platforms
