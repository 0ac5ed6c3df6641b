#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include "app/options.h"
#include "resources/Pictures.h"

namespace {

struct Answered {
    std::optional<int> status;
    std::string out;
    std::string err;
};

Answered Answer(std::vector<const char*> args)
{
    args.insert(args.begin(), "platformer");
    std::ostringstream out;
    std::ostringstream err;
    Answered run;
    run.status = AnswerCommandLine(static_cast<int>(args.size()), args.data(), out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

std::string ReadSource(const std::string& path)
{
    std::ifstream file(std::string(PLATFORMER_SOURCE_DIR) + "/" + path);
    EXPECT_TRUE(file) << path;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The text between a line starting with `from` and the next line starting with `to`.
std::string Section(const std::string& text, const std::string& from, const std::string& to)
{
    const size_t start = text.find("\n" + from);
    if (start == std::string::npos)
        return "";
    const size_t end = text.find("\n" + to, start + 1);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace

TEST(CommandLine, ReadsWhatIsAskedFor)
{
    using Action = CommandLine::Action;
    const struct {
        std::vector<const char*> args;
        Action action;
        const char* wrong;
    } cases[] = {
        {{}, Action::Play, ""},
        {{"--help"}, Action::Help, ""},
        {{"-h"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"--version", "--help"}, Action::Help, ""},
        {{"--help", "LoadLevel.txt"}, Action::Wrong, "LoadLevel.txt"},
        {{"--Help"}, Action::Wrong, "--Help"},
        {{"--help=keys"}, Action::Wrong, "--help=keys"},
        {{"-v"}, Action::Wrong, "-v"},
        {{"--"}, Action::Play, ""},
        {{"--help", "--"}, Action::Help, ""},
        {{"--", "--help"}, Action::Wrong, "--help"},
        {{""}, Action::Wrong, ""},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = c.args;
        argv.insert(argv.begin(), "platformer");
        const CommandLine line = ReadCommandLine(static_cast<int>(argv.size()), argv.data());
        const std::string shown = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.wrongArgument, c.wrong) << shown;
    }
}

TEST(CommandLine, NoArgumentsPlaysAndPrintsNothing)
{
    const Answered run = Answer({});
    EXPECT_FALSE(run.status.has_value());
    EXPECT_EQ(run.out + run.err, "");
}

TEST(CommandLine, HelpListsUsageKeysAndFilesOnStandardOutput)
{
    const Answered run = Answer({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("Usage: platformer", 0), 0u) << run.out;
    for (const auto* table : {&Controls(), &PadControls()})
        for (const KeyHelp& row : *table)
            EXPECT_NE(run.out.find(row.keys + std::string(" ")), std::string::npos) << row.keys;
    for (const GamePicture& picture : GAME_PICTURES)
        EXPECT_NE(run.out.find(picture.name), std::string::npos) << picture.name;
    EXPECT_NE(run.out.find("LoadLevel.txt"), std::string::npos);
}

TEST(CommandLine, VersionIsOneLineWithTheBuildsVersion)
{
    const Answered run = Answer({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(std::regex_match(run.out, std::regex("platformer [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << run.out;
}

TEST(CommandLine, WrongArgumentIsNamedWithTheUsageOnStandardError)
{
    const Answered run = Answer({"--fullscreen"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "platformer: unknown argument \"--fullscreen\"\nUsage: platformer [--help | --version]\n");
}

// A reader that takes nothing, like a full disk.
class FullDisk : public std::streambuf {
protected:
    int_type overflow(int_type) override
    {
        errno = ENOSPC;
        return traits_type::eof();
    }
};

TEST(CommandLine, AnAnswerThatCannotBeWrittenIsAFailure)
{
    for (const char* option : {"--help", "--version"}) {
        FullDisk full;
        std::ostream out(&full);
        std::ostringstream err;
        const char* argv[] = {"platformer", option};
        EXPECT_EQ(AnswerCommandLine(2, argv, out, err), 1) << option;
        const std::string what = option == std::string("--help") ? "the help" : "the version";
        EXPECT_EQ(err.str(), "platformer: cannot write " + what + ": " + std::strerror(ENOSPC) + "\n");
    }
}

// An argument can hold anything; the terminal is shown it, never steered by it.
TEST(CommandLine, AWrongArgumentIsShownPrintable)
{
    const struct {
        const char* argument;
        const char* shown;
    } cases[] = {
        {"\x1b[2J\nnext line\xff\t\xc3\xa9", "\\x1b[2J\\x0anext line\\xff\\x09\\xc3\\xa9"},
        {"~\x7f", "~\\x7f"},  // DEL, just past the last printable byte
    };
    for (const auto& c : cases) {
        const Answered run = Answer({c.argument});
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, std::string("platformer: unknown argument \"") + c.shown +
                               "\"\nUsage: platformer [--help | --version]\n");
    }
}

// The keys and the pad's buttons are written out in four places; one changed in one must be
// changed in all.
TEST(CommandLine, ManualPageReadmeAndMetainfoShowTheSameKeys)
{
    const std::string metainfo = ReadSource("packaging/platformer.metainfo.xml.in");
    struct Place {
        const std::vector<KeyHelp>& rows;
        const char* readmeSection;
        const char* manualSection;
    };
    for (const Place& place : {Place{Controls(), "## Controls", ".SH CONTROLS"},
                               Place{PadControls(), "## Playing with a gamepad", ".SS Gamepad"}}) {
        std::string readme = Section(ReadSource("README.md"), place.readmeSection, "## ");
        readme.erase(std::remove(readme.begin(), readme.end(), '`'), readme.end());
        const std::string manual = Section(ReadSource("docs/platformer.6.in"), place.manualSection, ".S");
        for (const KeyHelp& row : place.rows) {
            const std::string keys = row.keys;
            const std::string action = row.action;
            EXPECT_NE(readme.find("\n| " + keys + " | " + action + " |\n"), std::string::npos) << keys;
            EXPECT_NE(manual.find("\n.TP\n.B " + keys + "\n" + action + "\n"), std::string::npos) << keys;
            EXPECT_NE(metainfo.find("<li>" + keys + ": " + action + "</li>"), std::string::npos) << keys;
        }
        // None that --help does not know of (a README table has a header and a rule).
        EXPECT_EQ(Count(readme, "\n| "), place.rows.size() + 2) << place.readmeSection;
        EXPECT_EQ(Count(manual, "\n.TP\n"), place.rows.size()) << place.manualSection;
    }
    EXPECT_EQ(Count(metainfo, "<li>"), Controls().size() + PadControls().size());
    for (const char* option : {"\\-h", "\\-\\-help", "\\-\\-version"})
        EXPECT_NE(Section(ReadSource("docs/platformer.6.in"), ".SH OPTIONS", ".SH ").find(option), std::string::npos) << option;
}
