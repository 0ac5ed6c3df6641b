#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "resources/GameFolders.h"
#include "test_support.h"

namespace {

using Folders = std::vector<std::string>;

TEST(GameFoldersTest, WorkingFolderThenDataFolderFromTheExecutableThenTheExecutablesFolder)
{
    struct Case {
        const char* exeFolder;
        const char* dataFromBin;
        Folders expected;
    };
    const Case cases[] = {
        {"/usr/games", "../share/games/platformer", {"", "/usr/share/games/platformer", "/usr/games"}},
        {"/home/a b/.local/bin", "../share/games/platformer",
         {"", "/home/a b/.local/share/games/platformer", "/home/a b/.local/bin"}},
        {"/opt/game/", "data", {"", "/opt/game/data", "/opt/game"}},
        {"/opt/game", "/srv/platformer/", {"", "/srv/platformer", "/opt/game"}},
        {"/", "../share/games/platformer", {"", "/share/games/platformer", "/"}},
        {"/opt/game", "", {"", "/opt/game"}},
        {"", "../share/games/platformer", {""}},  // executable unknown: the working folder alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exeFolder);
        EXPECT_EQ(SearchFolders(c.exeFolder, c.dataFromBin), c.expected);
    }
}

TEST(GameFoldersTest, TheFirstFolderHoldingTheNameWins)
{
    const Folders folders{"", "/usr/share/games/platformer", "/usr/games"};
    struct Case {
        std::set<std::string> present;
        std::string found;
    };
    const Case cases[] = {
        {{"Blocks.png", "/usr/share/games/platformer/Blocks.png", "/usr/games/Blocks.png"}, "Blocks.png"},
        {{"/usr/share/games/platformer/Blocks.png", "/usr/games/Blocks.png"}, "/usr/share/games/platformer/Blocks.png"},
        {{"/usr/games/Blocks.png"}, "/usr/games/Blocks.png"},
        {{"Quillorn.png", "/usr/games/blocks.png"}, ""},  // other names, other letter case
        {{}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.found);
        auto present = [&](const std::string& path) { return c.present.count(path) != 0; };
        EXPECT_EQ(FindInFolders("Blocks.png", folders, present), c.found);
    }
    EXPECT_EQ(FindInFolders("Blocks.png", {}, [](const std::string&) { return true; }), "");
}

TEST(GameFoldersTest, FoldersAreNamedInFullAndOnce)
{
    TempWorkingDir folder;
    const std::string here = std::filesystem::current_path().string();
    EXPECT_EQ(DescribeFolders({"", "/usr/share/games/platformer", "/usr/games"}),
              here + ", /usr/share/games/platformer and /usr/games");
    EXPECT_EQ(DescribeFolders({"", "/a", here}), here + " and /a");
    EXPECT_EQ(ShownPath("Blocks.png"), here + "/Blocks.png");
}

}  // namespace
