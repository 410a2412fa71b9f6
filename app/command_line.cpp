#include "app/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platforms/catalogue.h"

namespace app {

namespace {

std::optional<int> platformIndex(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int index = std::stoi(text);
    return platforms::entryAt(index) ? std::optional<int>(index) : std::nullopt;
}

std::string lastPlatformIndex() {
    return std::to_string(platforms::catalogue().size() - 1);
}

// Every entry's index and help name, wrapped under the option's description.
std::string platformHelp() {
    constexpr std::size_t kIndent = 22;
    constexpr std::size_t kWidth = 76;
    std::string help = "  --platform N        platform for this run:";
    std::size_t column = help.size();
    const auto list = platforms::catalogue();
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::string item = std::to_string(i) + " " + list[i]->helpName + (i + 1 < list.size() ? "," : "");
        if (column + 1 + item.size() > kWidth) {
            help += "\n" + std::string(kIndent, ' ');
            column = kIndent;
        } else {
            help += ' ';
            ++column;
        }
        help += item;
        column += item.size();
    }
    return help + "\n";
}

std::optional<double> seconds(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value <= 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    CommandLine& options = parsed.options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto value = [&]() -> const std::string* {
            return i + 1 < arguments.size() ? &arguments[++i] : nullptr;
        };
        if (argument == "--headless") {
            options.headless = true;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument == "--version") {
            options.version = true;
        } else if (argument == "--login") {
            options.login = true;
        } else if (argument == "--demo") {
            options.demo = true;
        } else if (argument == "--platform") {
            const std::string* text = value();
            options.platform = text ? platformIndex(*text) : std::nullopt;
            if (!options.platform) {
                parsed.error = "--platform needs a number from 0 to " + lastPlatformIndex();
                return parsed;
            }
        } else if (argument == "--room") {
            const std::string* text = value();
            if (!text) {
                parsed.error = "--room needs a room number";
                return parsed;
            }
            options.room = *text;
        } else if (argument == "--also") {
            const std::string* text = value();
            RoomList list = parseRoomList(text ? *text : std::string(), platforms::roomKinds());
            if (!list.rooms.empty()) {
                // Parsed again with the earlier ones: the cap and the doubles span every --also.
                std::vector<RoomChoice> rooms = options.also;
                rooms.insert(rooms.end(), list.rooms.begin(), list.rooms.end());
                list = parseRoomList(roomListText(rooms), platforms::roomKinds());
            }
            if (list.rooms.empty()) {
                parsed.error = "--also needs PLATFORM:ROOM (e.g. 5:9999), a platform from 0 to " +
                               lastPlatformIndex() + ", at most " + std::to_string(kMaxExtraRooms) + " rooms";
                return parsed;
            }
            options.also = std::move(list.rooms);
        } else if (argument == "--demo-seconds") {
            const std::string* text = value();
            options.demoSeconds = text ? seconds(*text) : std::nullopt;
            if (!options.demoSeconds) {
                parsed.error = "--demo-seconds needs a positive number of seconds";
                return parsed;
            }
        } else {
            parsed.error = "unknown option: " + argument;
            return parsed;
        }
    }
    return parsed;
}

std::string usageText() {
    return "Usage: sonaro [options]\n"
           "Reads a live-stream room's chat aloud.\n"
           "\n"
           "  --headless          run without a window (Qt offscreen platform); write\n"
           "                      'status <prefix>:<text>' and 'speak <text>' lines\n"
           "                      to standard output, UTF-8, one per event\n" +
           platformHelp() +
           "                      (the settings file is not changed)\n"
           "  --room TEXT         room number for this run (not saved)\n"
           "  --also N:ROOM       read this room too, into the same queue; repeatable\n"
           "                      (e.g. --also 5:9999 --also 6:660000; not saved)\n"
           "  --login             press the login button once the dialog is ready\n"
           "  --demo              play against simulated rooms on this machine\n"
           "  --demo-seconds S    end the run after S seconds (exit status 0)\n"
           "  --help              show this text\n"
           "  --version           show the version\n"
           "\n"
           "SIGINT, SIGTERM, SIGHUP and SIGQUIT close the program as the exit\n"
           "button does.\n"
           "Settings live in 配置.txt, filtered words in 过滤列表.txt and speech\n"
           "files in waves/, beside the program when its folder is writable,\n"
           "otherwise in ~/.config/sonaro/ and ~/.cache/sonaro/waves/.\n";
}

std::string versionText() {
    return std::string("sonaro ") + SONARO_VERSION + "\n";
}

}  // namespace app
