// Where the program keeps its files, decided from the program folder and the
// user's XDG variables.
#include "app/data_folders.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/config_file.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

TEST(DataFolders, UserFoldersFollowTheXdgRules) {
    struct Row {
        app::UserEnvironment env;
        const char* config;
        const char* waves;
    };
    const Row rows[] = {
        {{"/home/a", "", ""}, "/home/a/.config/sonaro", "/home/a/.cache/sonaro/waves"},
        {{"/home/a", "/cfg", "/cache"}, "/cfg/sonaro", "/cache/sonaro/waves"},
        {{"/home/a", "relative", "also/relative"}, "/home/a/.config/sonaro", "/home/a/.cache/sonaro/waves"},
        {{"", "", ""}, "", ""},
        {{"", "/cfg", ""}, "/cfg/sonaro", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(app::userConfigDir(row.env), fs::path(row.config)) << row.env.home << row.env.configHome;
        EXPECT_EQ(app::userWavesDir(row.env), fs::path(row.waves)) << row.env.home << row.env.cacheHome;
    }
}

TEST(DataFolders, AWritableProgramFolderKeepsEverything) {
    testing_support::TempDir dir;
    const app::DataFolders folders = app::chooseDataFolders(dir.path(), {dir.file("home"), "", ""});
    EXPECT_TRUE(folders.portable && folders.wavesWritable);
    EXPECT_EQ(folders.files, fs::path(dir.path()));
    EXPECT_EQ(folders.waves, fs::path(dir.file("waves")));
    EXPECT_TRUE(fs::is_directory(dir.file("waves")));
    EXPECT_FALSE(fs::exists(dir.file("home")));  // nothing of the user's is touched
}

TEST(DataFolders, SpeechThatCannotBeWrittenAnywhereIsSaid) {
    testing_support::TempDir dir;
    // No one, root included, can create anything below a regular file.
    std::ofstream(dir.file("plain")) << "x";
    const std::string nowhere = dir.file("plain") + "/program";
    const app::DataFolders folders = app::chooseDataFolders(nowhere, {"", dir.file("config"), nowhere});
    EXPECT_FALSE(folders.portable);
    EXPECT_FALSE(folders.wavesWritable);
    EXPECT_EQ(folders.files, fs::path(dir.file("config")) / "sonaro");
    EXPECT_EQ(folders.waves, fs::path(nowhere) / "sonaro" / "waves");

    EXPECT_FALSE(app::canWriteIn(nowhere));
    EXPECT_FALSE(app::canWriteIn(""));
    EXPECT_TRUE(app::canWriteIn(dir.file("a/b/c")));
}
