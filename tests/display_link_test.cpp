#include <gtest/gtest.h>

#include <string>

#include "app/display_link.h"

namespace {

// A window that cannot be opened is told by what failed: no display named, a display that
// does not answer or refuses the game in its own words, or one that answers but cannot give
// the window.
TEST(DisplayLinkTest, WhyNoWindowNamesWhatFailed)
{
    const struct {
        const char* display;
        bool reached;
        std::string refusal;
        std::string said;
    } cases[] = {
        {nullptr, false, "", "no display (DISPLAY is not set"},
        {"", false, "", "no display (DISPLAY is not set"},
        {":61", false, "", "cannot open the display \":61\" (is that display running"},
        {":61", true, "", "the display \":61\" answers, but the game's window or its OpenGL context cannot be made"},
        {":6\x1b[1m", false, "", "cannot open the display \":6\\x1b[1m\""},
        {":61", false, "No key\x1b[1m", "the display \":61\" refused the game: \"No key\\x1b[1m\" (may this user"},
    };
    for (const auto& c : cases) {
        const std::string why = WhyNoWindow(c.display, DisplayAnswer{c.display != nullptr, c.reached, c.refusal});
        EXPECT_NE(why.find(c.said), std::string::npos) << why;
    }
}

}  // namespace
