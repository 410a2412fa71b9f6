#include "program_run.h"

#include <csignal>
#include <filesystem>
#include <thread>

#include "process_probe.h"
#include "util/text.h"
#include "wait.h"

namespace harness {

std::string joinedLine() {
    return "status 斗鱼:登陆成功!";
}

std::size_t fileCount(const std::string& dir) {
    std::error_code error;
    std::size_t count = 0;
    for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        ++count;
    }
    return count;
}

ProgramRun::ProgramRun(const std::string& executable, const sim::DouyuRoom& room,
                       const app::Settings& settings, const std::string& audioFile)
    : room_(room), audioFile_(audioFile.empty() ? folder_.file("played.raw") : audioFile) {
    const std::string copy = folder_.file("sonaro");
    std::filesystem::copy_file(executable, copy);
    app::saveConfig(folder_.file(app::kConfigFileName), settings);
    std::vector<std::string> env{"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + audioFile_,
                                 "QT_QPA_PLATFORM=offscreen"};
    for (const auto& [name, value] : room.hostSettings()) {
        env.push_back(name + "=" + value);
    }
    process_.emplace(
        copy,
        std::vector<std::string>{"--headless", "--platform", "0", "--room", room.roomNumber(), "--login"},
        env, folder_.path());
    if (process_->started()) {
        testing_support::waitUntil([this] { return (pid_ = findChild("sonaro")) > 0; },
                                   std::chrono::seconds(5));
    }
}

ProgramRun::~ProgramRun() {
    if (running()) {
        stop(std::chrono::seconds(5));
    }
}

bool ProgramRun::waitJoined(std::chrono::seconds timeout) {
    const std::size_t joinsBefore = room_.joins().size();
    if (!process_->waitForLine(joinedLine(), timeout)) {
        return false;
    }
    return testing_support::waitUntil([&] { return room_.joins().size() > joinsBefore || !running(); },
                                      timeout) &&
           running();
}

bool ProgramRun::running() {
    return pid_ > 0 && !exitCode_ && !process_->waitExit(std::chrono::milliseconds(0));
}

std::optional<int> ProgramRun::stop(std::chrono::seconds timeout) {
    if (!exitCode_) {
        process_->signal(SIGTERM);
        exitCode_ = process_->waitExit(timeout);
    }
    return exitCode_;
}

}  // namespace harness
