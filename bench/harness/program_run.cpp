#include "program_run.h"

#include <csignal>
#include <filesystem>
#include <thread>

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
    : room_(room),
      program_({.room = &room,
                .env = audioFile.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>{"SDL_DISKAUDIOFILE=" + audioFile},
                .record = true,
                .executable = executable}),
      audioFile_(audioFile.empty() ? program_.recording() : audioFile) {
    app::saveConfig((program_.folder() / app::kConfigFileName).string(), settings);
    program_.start();
}

ProgramRun::~ProgramRun() {
    if (running()) {
        stop(std::chrono::seconds(5));
    }
}

bool ProgramRun::waitJoined(std::chrono::seconds timeout) {
    const std::size_t joinsBefore = room_.joins().size();
    if (!program_->waitForLine(joinedLine(), timeout)) {
        return false;
    }
    return testing_support::waitUntil([&] { return room_.joins().size() > joinsBefore || !running(); },
                                      timeout) &&
           running();
}

bool ProgramRun::running() {
    return pid() > 0 && !exitCode_ && !program_->waitExit(std::chrono::milliseconds(0));
}

std::optional<int> ProgramRun::stop(std::chrono::seconds timeout) {
    if (!exitCode_) {
        exitCode_ = program_.close(SIGTERM, timeout);
    }
    return exitCode_;
}

}  // namespace harness
