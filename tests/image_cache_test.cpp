#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "resources/GameFolders.h"
#include "resources/ImageCache.h"
#include "test_support.h"

using namespace std::string_literals;

namespace {

// Counts the files Allegro opens while it is alive, whatever reads them.
class OpenCounter {
public:
    OpenCounter() : previous_(al_get_new_file_interface())
    {
        counting_ = *previous_;
        real_ = previous_;
        counting_.fi_fopen = [](const char* path, const char* mode) {
            ++opened_;
            return real_->fi_fopen(path, mode);
        };
        opened_ = 0;
        al_set_new_file_interface(&counting_);
    }
    ~OpenCounter() { al_set_new_file_interface(previous_); }
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;

    int opened() const { return opened_; }

private:
    const ALLEGRO_FILE_INTERFACE* previous_;
    ALLEGRO_FILE_INTERFACE counting_{};
    static inline const ALLEGRO_FILE_INTERFACE* real_ = nullptr;
    static inline int opened_ = 0;
};

const Rgba kNearWhite{254, 255, 255, 255};
const Rgba kColour{200, 30, 40, 255};

// Every test runs in its own empty folder and leaves the cache empty behind it.
class ImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DestroyAllImages();
        SetPictureFolders({""});
    }
    void TearDown() override
    {
        DestroyAllImages();
        SetPictureFolders(GameFolders());
    }

    // pic.png: pure white, near-white and a colour, side by side.
    void WriteTestPicture(const std::string& name = "pic.png")
    {
        ALLEGRO_BITMAP* picture = al_create_bitmap(3, 1);
        ALLEGRO_BITMAP* previous = al_get_target_bitmap();
        al_set_target_bitmap(picture);
        al_put_pixel(0, 0, al_map_rgb(255, 255, 255));
        al_put_pixel(1, 0, al_map_rgb(kNearWhite.r, kNearWhite.g, kNearWhite.b));
        al_put_pixel(2, 0, al_map_rgb(kColour.r, kColour.g, kColour.b));
        al_set_target_bitmap(previous);
        ASSERT_TRUE(al_save_bitmap((folder.path() / name).c_str(), picture));
        al_destroy_bitmap(picture);
    }

    TempWorkingDir folder;
};

TEST_F(ImageCacheTest, LoadsOnceUnderItsExactNameAndMakesOnlyPureWhiteTransparent)
{
    WriteTestPicture();
    ASSERT_TRUE(LoadImage("pic.png"));
    ALLEGRO_BITMAP* picture = GetImage("pic.png");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(GetImage("pic.png"), picture);
    EXPECT_EQ(al_get_bitmap_width(picture), 3);

    EXPECT_EQ(PixelAt(picture, 0, 0).a, 0) << "pure white is the transparent colour";
    EXPECT_EQ(PixelAt(picture, 1, 0), kNearWhite);
    EXPECT_EQ(PixelAt(picture, 2, 0), kColour);

    for (const char* other : {"PIC.png", "pic.PNG", "./pic.png", "", "unknown.png"})
        EXPECT_EQ(GetImage(other), nullptr) << other;

    // Another load neither opens the file again nor replaces the entry, even once the file is gone.
    {
        OpenCounter counter;
        EXPECT_FALSE(LoadImage("pic.png"));
        std::filesystem::remove("pic.png");
        EXPECT_FALSE(LoadImage("pic.png"));
        EXPECT_EQ(counter.opened(), 0) << "a cached picture's file was opened again";
    }
    EXPECT_EQ(GetImage("pic.png"), picture);
    EXPECT_EQ(PixelAt(picture, 2, 0), kColour);

    // The counter does see reads: a new name is opened.
    OpenCounter counter;
    WriteTestPicture("other.png");
    const int beforeLoad = counter.opened();
    EXPECT_TRUE(LoadImage("other.png"));
    EXPECT_GT(counter.opened(), beforeLoad);
}

TEST_F(ImageCacheTest, UnloadRemovesOnlyItsEntryDestroyAllEveryOneAndBothAllowAReload)
{
    DestroyAllImages();  // already empty: nothing happens
    WriteTestPicture("a.png");
    WriteTestPicture("b.png");
    ASSERT_TRUE(LoadImage("a.png"));
    ASSERT_TRUE(LoadImage("b.png"));
    ALLEGRO_BITMAP* b = GetImage("b.png");

    UnloadImage("missing.png");
    UnloadImage("A.png");
    EXPECT_NE(GetImage("a.png"), nullptr);
    EXPECT_EQ(GetImage("b.png"), b);

    UnloadImage("a.png");
    EXPECT_EQ(GetImage("a.png"), nullptr);
    EXPECT_EQ(GetImage("b.png"), b);
    UnloadImage("a.png");  // a second unload finds nothing

    EXPECT_TRUE(LoadImage("a.png")) << "an unloaded name loads from its file again";
    ASSERT_NE(GetImage("a.png"), nullptr);
    EXPECT_EQ(PixelAt(GetImage("a.png"), 2, 0), kColour);

    DestroyAllImages();
    EXPECT_EQ(GetImage("a.png"), nullptr);
    EXPECT_EQ(GetImage("b.png"), nullptr);
    DestroyAllImages();
    EXPECT_TRUE(LoadImage("a.png")) << "nothing of the old entry is left";
}

TEST_F(ImageCacheTest, PicturesAreLookedForInTheWorkingDirectory)
{
    WriteTestPicture();
    std::filesystem::create_directory("elsewhere");
    std::filesystem::current_path("elsewhere");
    EXPECT_FALSE(LoadImage("pic.png"));
    EXPECT_TRUE(LoadImage("../pic.png"));
    std::filesystem::current_path(folder.path());
    EXPECT_TRUE(LoadImage("pic.png"));
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string AtLeast(int width, int height)
{
    return "at least " + std::to_string(width) + " x " + std::to_string(height);
}

TEST_F(ImageCacheTest, RefusalsNameThePictureTheProblemAndWhatIsNeeded)
{
    const std::string here = folder.path().string();
    WriteTestPicture("whole.png");
    std::ifstream whole("whole.png", std::ios::binary);
    const std::string wholeBytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());

    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {FIGURE_PICTURE, [] { ASSERT_TRUE(WriteSolidPng(FIGURE_PICTURE, 8, 8, al_map_rgb(1, 2, 3))); },
         {here + "/" + FIGURE_PICTURE, "8 x 8 pixels, too small", AtLeast(FIGURE_MIN_WIDTH, FIGURE_MIN_HEIGHT)}},
        {BLOCKS_PICTURE, [&] { folder.Write(BLOCKS_PICTURE, ""); },
         {here + "/" + BLOCKS_PICTURE, "empty", AtLeast(BLOCKS_MIN_WIDTH, BLOCKS_MIN_HEIGHT)}},
        {"cut.png", [&] { folder.Write("cut.png", wholeBytes.substr(0, wholeBytes.size() - 20)); },
         {here + "/cut.png", "3 x 1 pixels) cannot be decoded"}},
        {"missing.png", [] {}, {"cannot find the picture \"missing.png\"", "looked in " + here}},
        // Opening a FIFO would wait for a writer that never comes.
        {"Background.png", [] { ASSERT_EQ(mkfifo("Background.png", 0600), 0); },
         {here + "/Background.png", "is a FIFO, not a regular file", "at most 4096 x 4096"}},
        {"folder.png", [] { std::filesystem::create_directory("folder.png"); },
         {here + "/folder.png", "is a folder, not a regular file"}},
        {"text.png", [&] { folder.Write("text.png", "this is not a picture\n"); }, {here + "/text.png"}},
        {"short.png", [&] { folder.Write("short.png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"s); }, {here + "/short.png"}},
        {"pic.xyz", [&] { folder.Write("pic.xyz", "abc"); }, {here + "/pic.xyz"}},
    };
    alarm(20);  // a picture that blocks start-up would hang the suite
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        EXPECT_FALSE(LoadImage(c.name));
        EXPECT_EQ(GetImage(c.name), nullptr);
        const std::string why = WhyNotLoaded(c.name);
        for (const std::string& part : c.said)
            EXPECT_TRUE(Contains(why, part)) << "\"" << part << "\" not in: " << why;
        EXPECT_EQ(Contains(why, "cannot find"), c.said[0].rfind("cannot find", 0) == 0) << why;
    }
    alarm(0);
    EXPECT_EQ(WhyNotLoaded("whole.png"), "");

    // A failure is not remembered: once the file is good, the name loads.
    WriteTestPicture("text.png");
    EXPECT_TRUE(LoadImage("text.png"));
    EXPECT_NE(GetImage("text.png"), nullptr);
}

TEST_F(ImageCacheTest, APictureFromALaterFolderIsKeptUnderItsBareName)
{
    const std::filesystem::path data = folder.path() / "data folder";
    std::filesystem::create_directory(data);
    SetPictureFolders({"", data.string()});
    ASSERT_TRUE(WriteSolidPng((data / BLOCKS_PICTURE).string(), BLOCKS_MIN_WIDTH, BLOCKS_MIN_HEIGHT,
                              al_map_rgb(20, 0, 0)));

    ASSERT_TRUE(LoadImage(BLOCKS_PICTURE));
    ASSERT_NE(GetImage(BLOCKS_PICTURE), nullptr);
    EXPECT_EQ(PixelAt(GetImage(BLOCKS_PICTURE), 0, 0).r, 20);

    // A broken copy in the working folder is reported, not passed over for the data folder's.
    DestroyAllImages();
    folder.Write(BLOCKS_PICTURE, "");
    EXPECT_FALSE(LoadImage(BLOCKS_PICTURE));
    EXPECT_TRUE(Contains(WhyNotLoaded(BLOCKS_PICTURE), "empty")) << WhyNotLoaded(BLOCKS_PICTURE);
}

// The three pictures come from the first folder that holds them all; a folder with only some
// is passed over, and named when no folder holds all three.
TEST_F(ImageCacheTest, TheThreePicturesComeFromOneFolder)
{
    const std::filesystem::path data = folder.path() / "data";
    const std::string here = folder.path().string();
    const std::vector<std::string> all{"Background.png", "Blocks.png", "Quillorn.png"};
    struct Case {
        const char* what;
        std::vector<std::string> inWorking;
        std::vector<std::string> inData;
        std::string firstMissing;
        unsigned char from;  // red of the pictures loaded: 1 the working folder's, 2 the data folder's
        std::vector<std::string> said;
    };
    const Case cases[] = {
        {"both hold all three", all, all, "", 1, {}},
        {"a stray picture in the working folder", {"Background.png"}, all, "", 2, {}},
        {"split between the two", {"Background.png"}, {"Blocks.png", "Quillorn.png"}, "Background.png", 2,
         {"together in one folder", here + " holds only Background.png",
          data.string() + " holds only Blocks.png and Quillorn.png"}},
        {"one missing everywhere", {}, {"Background.png", "Blocks.png"}, "Quillorn.png", 2,
         {"cannot find the picture \"Quillorn.png\": looked in " + here + " and " + data.string()}},
        // Else the first missing in the order the game starts them.
        {"none anywhere", {}, {}, "Background.png", 1, {}},
        {"no background", {"Blocks.png", "Quillorn.png"}, {}, "Background.png", 1, {}},
        {"only the background", {"Background.png"}, {}, "Blocks.png", 1, {}},
        {"no blocks", {"Background.png", "Quillorn.png"}, {}, "Blocks.png", 1, {}},
        {"no figure", {"Background.png", "Blocks.png"}, {}, "Quillorn.png", 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DestroyAllImages();
        std::filesystem::remove_all(data);
        std::filesystem::create_directory(data);
        for (const std::string& name : all)
            std::filesystem::remove(name);
        const auto write = [](const std::filesystem::path& in, const std::vector<std::string>& names, int red) {
            for (const std::string& name : names)
                ASSERT_TRUE(WriteSolidPng((in / name).string(), LeastSizeOf(name).width, LeastSizeOf(name).height,
                                          al_map_rgb(red, 0, 0)));
        };
        write(folder.path(), c.inWorking, 1);
        write(data, c.inData, 2);
        SetPictureFolders({"", data.string()});
        InitImages();
        EXPECT_EQ(FirstMissingImage(), c.firstMissing);
        for (const std::string& name : all) {
            if (GetImage(name) != nullptr) {
                EXPECT_EQ(PixelAt(GetImage(name), 0, 0).r, c.from) << name;
            }
        }
        for (const std::string& name : c.from == 1 ? c.inWorking : c.inData)
            EXPECT_NE(GetImage(name), nullptr) << name;
        const std::string why = WhyNotLoaded(c.firstMissing);
        for (const std::string& part : c.said)
            EXPECT_TRUE(Contains(why, part)) << "\"" << part << "\" not in: " << why;
    }

    // A file that is there but cannot be decoded counts as missing.
    DestroyAllImages();
    folder.Write(BLOCKS_PICTURE, "");
    InitImages();
    EXPECT_EQ(FirstMissingImage(), BLOCKS_PICTURE);
}

// Pictures are decoded off-screen; whatever becomes of a picture, the flags for new pictures
// are the caller's again afterwards.
TEST_F(ImageCacheTest, LoadingLeavesTheNewPictureFlagsAsItFoundThem)
{
    WriteTestPicture("whole.png");
    folder.Write("empty.png", "");
    folder.Write("undecodable.png", PngHeader(3, 1) + "junk");
    const int flags = ALLEGRO_MIN_LINEAR | ALLEGRO_MAG_LINEAR | ALLEGRO_NO_PRESERVE_TEXTURE;
    const int before = al_get_new_bitmap_flags();
    for (const char* name : {"whole.png", "empty.png", "undecodable.png", "missing.png"}) {
        al_set_new_bitmap_flags(flags);
        LoadImage(name);
        EXPECT_EQ(al_get_new_bitmap_flags(), flags) << name;
    }
    al_set_new_bitmap_flags(before);
    EXPECT_NE(GetImage("whole.png"), nullptr);
}

}  // namespace
