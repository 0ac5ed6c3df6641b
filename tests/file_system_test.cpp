#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "resources/FileSystem.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder whose name is not ASCII, as a player's may be; paths go to the game in UTF-8.
class FileSystemTest : public ::testing::Test {
public:
    fs::path folder;
    void SetUp() override
    {
        folder = fs::temp_directory_path() /
                 fs::u8path(u8"platformer spiel für alle " + std::to_string(std::random_device()()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string At(const std::string& name) const { return (folder / fs::u8path(name)).u8string(); }
};

TEST_F(FileSystemTest, WhatStandsAtAPathAndWhetherItIsReadAsAFile)
{
    // Line ends and bytes that a file read as text would change or stop at.
    const std::string bytes("12,48,576\r\n\x1a\0\xff", 14);
    struct Row {
        const char* what;
        std::function<void(const FileSystemTest&)> make;
        const char* path;
        bool missing;      // nothing there: not a problem to report
        bool regular;
        const char* kind;  // what a person is told stands there instead
    };
    const Row rows[] = {
        {"a file with a name that is not ASCII",
         [&](const FileSystemTest& t) { std::ofstream(fs::u8path(t.At(u8"blöcke.txt")), std::ios::binary) << bytes; },
         u8"blöcke.txt", false, true, ""},
        {"a folder", [](const FileSystemTest& t) { fs::create_directory(fs::u8path(t.At(u8"ördner"))); },
         u8"ördner", false, false, "a folder"},
        {"nothing", [](const FileSystemTest&) {}, u8"fehlt.txt", true, false, ""},
        {"a file taken for a folder",
         [](const FileSystemTest& t) { std::ofstream(fs::u8path(t.At("plain.txt"))) << "x"; },
         "plain.txt/level.txt", true, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        row.make(*this);
        const FileLook look = LookAtFile(At(row.path));
        EXPECT_EQ(look.error != 0 && IsMissing(look.error), row.missing) << "error " << look.error;
        EXPECT_EQ(look.regular, row.regular);
        EXPECT_STREQ(look.kind, row.kind);

        FileForReading file(At(row.path));
        EXPECT_EQ(!file.Opened() && IsMissing(file.OpenError()), row.missing) << "error " << file.OpenError();
        EXPECT_EQ(file.Opened() && file.Regular(), row.regular);
        if (!row.regular)
            continue;
        // Read whole, bytes as they are (no line ends changed), then the end.
        ASSERT_EQ(file.Size(), static_cast<std::int64_t>(bytes.size()));
        char got[64];
        ASSERT_EQ(file.Read(got, sizeof got), static_cast<long>(bytes.size()));
        EXPECT_EQ(std::string(got, bytes.size()), bytes);
        EXPECT_EQ(file.Read(got, sizeof got), 0);
    }
}

TEST_F(FileSystemTest, TheGamesOwnFolderHoldsItsExecutable)
{
    const std::string folder = ExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::u8path(folder).is_absolute()) << folder;
    EXPECT_TRUE(fs::is_directory(fs::u8path(folder))) << folder;
}

}  // namespace
