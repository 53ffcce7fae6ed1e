// Game titles and texts, loaded from the resources linked into this test.
#include <doctest/doctest.h>

#include <string.h>

#include <string>

#include "game_titles.h"
#include "pass_limits.h"
#include "resource.h"
#include "texts.h"
#include "site_address.h"
#include "updater_test_support.h"

TEST_CASE("gameTitle: known games by whole lower-case name, others under their own name")
{
    resetRunState();
    struct Row {
        const char* section;
        const char* title;
    };
    const Row rows[] = {
        /* 0 */ {"irampart", "Rampart Realms"},
        /* 1 */ {"iduskfall", "Duskfall"},
        /* 2 */ {"itunnelrun", "Tunnel Runner Online"},
        /* 3 */ {"ispellgale", "Spellgale"},
        /* 4 */ {"iquizhall", "Quiz Hall Live"},
        /* 5 */ {"iblotball", "Blotball"},
        /* 6 */ {"icueshot", "Cue Shot"},
        /* 7 */ {"iwarbands", "Warbands II"},
        /* 8 */ {"irampart2", "irampart2"},
        /* 9 */ {"iramp", "iramp"},
        /* 10 */ {"IRampart", "IRampart"},  // the pass folds case before asking
        /* 11 */ {"", ""},
    };
    for (const Row& row : rows) {
        char title[kTitleSize];
        memset(title, '#', sizeof title);
        gameTitle(row.section, title);
        CHECK_MESSAGE(std::string(title) == std::string(row.title), "section \"" << std::string(row.section) << "\"");
    }
}

TEST_CASE("gameTitle: a section name longer than a title is cut, never written past")
{
    resetRunState();
    std::string longName = "i" + std::string(200, 'x');
    char buffer[kTitleSize + 8];
    memset(buffer, '#', sizeof buffer);
    gameTitle(longName.c_str(), buffer);
    CHECK(std::string(buffer) == longName.substr(0, kTitleSize - 1));
    for (size_t i = kTitleSize; i < sizeof buffer; ++i)
        CHECK(buffer[i] == '#');
}

TEST_CASE("loadText: cut to capacity and always terminated; a missing string is empty")
{
    resetRunState();
    char text[8];
    memset(text, '#', sizeof text);
    loadText(IDS_ALL_UP_TO_DATE, text, sizeof text);
    CHECK(std::string(text) == "All ins");

    memset(text, '#', sizeof text);
    loadText(1, text, sizeof text);  // not in the table
    CHECK(std::string(text) == "");

    char caption[kCaptionSize];
    loadText(IDS_ERROR_CAPTION, caption, sizeof caption);
    CHECK(std::string(caption) == "Update Velkor Games Error Message");
    char banner[512];
    loadText(IDS_FAILURE_BANNER, banner, sizeof banner);
    CHECK(std::string(banner).find(VK_SITE_ADDRESS) != std::string::npos);
    loadText(IDS_BAD_COMPONENTS, banner, sizeof banner);
    CHECK(std::string(banner).find(VK_SITE_ADDRESS) != std::string::npos);
}
