// The update pass's small operations: walking the section list, the title
// lists, the "EXECUTECount" number and the setup command line.
#include <doctest/doctest.h>

#include <string.h>

#include <string>

#include "pass_limits.h"
#include "section_names.h"
#include "title_lists.h"
#include "update_game.h"

namespace {

// A section list as the profile service returns it, and its length without
// the closing zero.
struct SectionList {
    std::string bytes;
    int length() const { return int(bytes.size()) - 1; }
};

SectionList listOf(std::initializer_list<std::string> names)
{
    SectionList list;
    for (const std::string& name : names)
        list.bytes += name + '\0';
    list.bytes += '\0';
    return list;
}

std::string nth(const SectionList& list, int n, size_t outSize = kSectionNameSize)
{
    char out[kSectionNameSize + 8];
    memset(out, '#', sizeof out);
    nthSectionName(list.bytes.data(), list.length(), n, out, outSize);
    for (size_t i = outSize; i < sizeof out; ++i)
        REQUIRE_MESSAGE(out[i] == '#', "written past the name at " << i);
    return out;
}

}  // namespace

TEST_CASE("countSectionNames counts the names of the list")
{
    SectionList three = listOf({"IRampart", "1 irampart", "Velkor"});
    CHECK(countSectionNames(three.bytes.data(), three.length()) == 3);
    SectionList one = listOf({"x"});
    CHECK(countSectionNames(one.bytes.data(), one.length()) == 1);
    CHECK(countSectionNames("", 0) == 0);
}

TEST_CASE("nthSectionName picks one name, lower-cased")
{
    SectionList list = listOf({"IRampart", "1 IRAMPART", "Velkor-\xC4" "Z", "iWarBands"});
    CHECK(nth(list, 1) == "irampart");
    CHECK(nth(list, 0) == "irampart");   // below 2: the first
    CHECK(nth(list, -5) == "irampart");
    CHECK(nth(list, 2) == "1 irampart");
    CHECK(nth(list, 3) == "velkor-\xC4" "z");  // only A to Z fold
    CHECK(nth(list, 4) == "iwarbands");
    CHECK(nth(list, 5) == "");
    CHECK(nth(list, 500) == "");

    SUBCASE("an empty name does not hide the names behind it")
    {
        SectionList withEmpty = listOf({"a", "", "IDuskfall"});
        CHECK(countSectionNames(withEmpty.bytes.data(), withEmpty.length()) == 3);
        CHECK(nth(withEmpty, 2) == "");
        CHECK(nth(withEmpty, 3) == "iduskfall");
    }
    SUBCASE("a long name is cut to the capacity")
    {
        SectionList longName = listOf({std::string(300, 'I'), "ib"});
        CHECK(nth(longName, 1) == std::string(kSectionNameSize - 1, 'i'));
        CHECK(nth(longName, 2) == "ib");
        CHECK(nth(longName, 1, 4) == "iii");
    }
    SUBCASE("a list cut off without its zeros is read no further than its length")
    {
        std::string bytes = "ia";
        bytes += '\0';
        bytes += "ibcdef";  // cut by the service, no zero
        char out[kSectionNameSize];
        nthSectionName(bytes.data(), int(bytes.size()) - 2, 2, out, sizeof out);
        CHECK(std::string(out) == "ibcd");
    }
}

TEST_CASE("appendTitle: one title per line; a full list ends with a visible ...")
{
    SUBCASE("titles in order")
    {
        char list[64] = "";
        appendTitle(list, sizeof list, "Rampart Realms");
        appendTitle(list, sizeof list, "igame");
        CHECK(std::string(list) == "Rampart Realms\nigame\n");
    }
    SUBCASE("too big, exactly fitting and too small")
    {
        // 20 characters: room for 19; each title keeps "...\n" free behind it.
        char list[20 + 4];
        memset(list, '#', sizeof list);
        list[0] = '\0';
        appendTitle(list, 20, "abcdefghij");  // 11 + 4 + 1 = 16: fits
        CHECK(std::string(list) == "abcdefghij\n");
        appendTitle(list, 20, "ab");          // 11 + 3 + 4 + 1 = 19: fits
        CHECK(std::string(list) == "abcdefghij\nab\n");
        appendTitle(list, 20, "");            // 14 + 1 + 4 + 1 = 20: fits exactly
        CHECK(std::string(list) == "abcdefghij\nab\n\n");
        appendTitle(list, 20, "x");           // no room: the list is closed
        CHECK(std::string(list) == "abcdefghij\nab\n\n...\n");
        CHECK(strlen(list) == 19);
        appendTitle(list, 20, "");            // later titles stay out
        CHECK(std::string(list) == "abcdefghij\nab\n\n...\n");
        for (size_t i = 20; i < sizeof list; ++i)
            CHECK(list[i] == '#');
    }
    SUBCASE("a title longer than the whole list")
    {
        char list[16] = "";
        appendTitle(list, sizeof list, std::string(100, 't').c_str());
        CHECK(std::string(list) == "...\n");
    }
    SUBCASE("a full-size list of many games")
    {
        static char list[4096];
        list[0] = '\0';
        int added = 0;
        for (int i = 0; i < 1000; ++i) {
            appendTitle(list, sizeof list, "Tunnel Runner Online");
            std::string text(list);
            REQUIRE(text.size() < sizeof list);
            if (text.size() >= 4 && text.compare(text.size() - 4, 4, "...\n") == 0)
                break;
            ++added;
        }
        std::string text(list);
        CHECK(added == (4096 - 5) / 21);
        CHECK(text.size() == size_t(added) * 21 + 4);
    }
}

TEST_CASE("executeCount reads a decimal number the way the INI file holds it")
{
    struct Row {
        const char* text;
        int value;
    };
    const Row rows[] = {
        /* 0 */ {"2", 2},
        /* 1 */ {"0", 0},
        /* 2 */ {"", 0},
        /* 3 */ {"none", 0},
        /* 4 */ {"  \t12abc", 12},
        /* 5 */ {"-3", -3},
        /* 6 */ {"+7", 7},
        /* 7 */ {"- 7", 0},
        /* 8 */ {"99999999999999999999", 2147483647},
        /* 9 */ {"-99999999999999999999", -2147483647},
    };
    for (const Row& row : rows)
        CHECK_MESSAGE(executeCount(row.text) == row.value, "text \"" << std::string(row.text) << "\"");
}

TEST_CASE("setupCommandLine quotes a program path with a blank, never the setup INI path")
{
    char line[kCommandLineSize];
    CHECK(setupCommandLine("C:\\Games\\Rampart", "C:\\Games\\Rampart\\VGOSETUP.INI", line, sizeof line));
    CHECK(std::string(line) == "C:\\Games\\Rampart\\VGOSETUP.EXE C:\\Games\\Rampart\\VGOSETUP.INI");

    CHECK(setupCommandLine("C:\\Velkor Games\\Rampart", "C:\\Velkor Games\\Rampart\\VGOSETUP.INI", line,
                           sizeof line));
    CHECK(std::string(line)
          == "\"C:\\Velkor Games\\Rampart\\VGOSETUP.EXE\" C:\\Velkor Games\\Rampart\\VGOSETUP.INI");

    SUBCASE("the longest setup directory still fits")
    {
        std::string dir = "C:\\" + std::string(kValueSize - 1 - 3 - 2, 'd') + " x";
        REQUIRE(dir.size() == kValueSize - 1);
        std::string ini = dir + "\\VGOSETUP.INI";
        CHECK(setupCommandLine(dir.c_str(), ini.c_str(), line, sizeof line));
        CHECK(std::string(line) == "\"" + dir + "\\VGOSETUP.EXE\" " + ini);
    }
    SUBCASE("a line that does not fit is refused, not cut")
    {
        char small[20];
        CHECK_FALSE(setupCommandLine("C:\\Games\\Rampart", "C:\\x.ini", small, sizeof small));
        CHECK(std::string(small) == "");
    }
}
