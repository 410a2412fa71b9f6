// Where the program keeps its files, decided from the program folder and the
// user's XDG variables.
#include "app/data_folders.h"

#include <gtest/gtest.h>

#include <fstream>

#include "../platforms/golden.h"
#include "app/activity_log.h"
#include "temp_dir.h"

namespace fs = std::filesystem;

TEST(DataFolders, UserFoldersFollowTheXdgRules) {
    for (const auto& c : testing_support::goldenCases("app/xdg_dirs.golden")) {
        const std::size_t bar = c.in.find('|'), bar2 = c.in.find('|', bar + 1);
        const std::string what = c.in.substr(0, bar), home = c.in.substr(bar + 1, bar2 - bar - 1);
        const std::string xdg = c.in.substr(bar2 + 1);
        if (what == "config") {
            EXPECT_EQ(app::userConfigDir({home, xdg, ""}), fs::path(c.out)) << c.in;
        } else if (what == "waves") {
            EXPECT_EQ(app::userWavesDir({home, "", xdg}), fs::path(c.out)) << c.in;
        } else if (what == "slash") {
            EXPECT_EQ(app::withTrailingSlash(home), c.out) << c.in;
        } else {
            EXPECT_EQ(app::activityLogPath(home == "-" ? nullptr : home.c_str(),
                                           xdg == "-" ? nullptr : xdg.c_str()),
                      c.out)
                << c.in;
        }
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
