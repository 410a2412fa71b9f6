// The built program, copied alone into an empty folder and run headless.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "app/command_line.h"
#include "child_process.h"
#include "temp_dir.h"
#include "wait.h"

TEST(Headless, RunsAloneInAnEmptyFolderAndEndsOnSigterm) {
    testing_support::TempDir dir;
    const std::string program = dir.file("sonaro");
    std::filesystem::copy_file(SONARO_EXECUTABLE, program);
    testing_support::ChildProcess child(program, {"--headless"}, {"SDL_AUDIODRIVER=dummy"}, dir.path());
    ASSERT_TRUE(child.started());
    // "waves" appears once the dialog has initialised.
    ASSERT_TRUE(testing_support::waitUntil([&] { return std::filesystem::is_directory(dir.file("waves")); },
                                           std::chrono::seconds(20)));
    child.signal(SIGTERM);
    EXPECT_EQ(child.waitExit(std::chrono::seconds(1)), 0);
}

TEST(Headless, AlsoAddsRoomsForThisRunAndRefusesWhatItCannotRead) {
    const struct {
        std::vector<std::string> arguments;
        const char* rooms;  // null: refused
    } cases[] = {
        {{"--platform", "4", "--also", "5:9999", "--also", "6:lpl,5:9999"}, "5:9999,6:lpl"},
        {{"--also"}, nullptr},
        {{"--also", ""}, nullptr},
        {{"--also", "7:1"}, nullptr},
        {{"--also", "1:1,1:2,1:3,1:4", "--also", "1:5,1:6,1:7,1:8", "--also", "1:9"}, nullptr},
    };
    for (const auto& c : cases) {
        const app::ParsedCommandLine parsed = app::parseCommandLine(c.arguments);
        EXPECT_EQ(parsed.error.empty(), c.rooms != nullptr) << c.arguments.back();
        if (c.rooms) {
            EXPECT_EQ(roomListText(parsed.options.also), c.rooms);
        }
    }
}
