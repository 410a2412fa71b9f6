// The built program, copied alone into an empty folder and run headless.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

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
