// The updater's small rules on their own: the switch scanner, the summary
// decision, and the bounds of the pass's names, lists, numbers and texts.
#include <doctest/doctest.h>

#include <windows.h>

#include <string.h>

#include <string>

#include "command_line.h"
#include "pass_limits.h"
#include "resource.h"
#include "run_state.h"
#include "section_names.h"
#include "summary_decision.h"
#include "texts.h"
#include "title_lists.h"
#include "update_game.h"

RunState runState;

// The flags after scanning text, as "<showErrors><silentOnSuccess>".
static std::string flagsAfter(const std::string& text)
{
    runState.showErrors = runState.silentOnSuccess = 0;
    parseCommandLine(text.c_str());
    return std::to_string(runState.showErrors) + std::to_string(runState.silentOnSuccess);
}

TEST_CASE("switches are whole space-separated tokens, folded to lower case; the summary rule")
{
    const char* const cases[][2] = {
        {"", "00"}, {" \t\r\n ", "00"}, {"-D", "10"}, {"-S", "01"}, {"  -d   -s ", "11"},
        {"foo -d bar", "10"}, {"-ds", "00"}, {"-d-s", "00"}, {"--d", "00"}, {"/d", "00"},
        // Only a space ends a token; other white space before a token is skipped.
        {"-d\t-s", "00"}, {"-s\r\n", "00"}, {"-d \t-s", "11"},
        {"-\xc4 -s", "01"},  // bytes beyond ASCII are neither folded nor matched
    };
    for (const auto& c : cases)
        CHECK_MESSAGE(flagsAfter(c[0]) == c[1], '"' << c[0] << '"');
    parseCommandLine(nullptr);
    // The token buffer holds 79 characters: a longer token is skipped whole,
    // never cut into a fresh token that could pass for a switch.
    for (size_t length : {78u, 79u, 80u, 81u, 5000u}) {
        std::string filler(length, 'x');
        CAPTURE(length);
        CHECK(flagsAfter(filler + " -s") == "01");
        CHECK(flagsAfter(filler + "-d") == "00");
        CHECK(flagsAfter("-s" + filler + " -d") == "10");
    }

    // No summary after a pass that never ran ("up to date" would be a lie)
    // or that told of no section names.
    RunState state{};
    CHECK_FALSE(summaryWanted(-1, state));
    CHECK_FALSE(summaryWanted(0, state));
    CHECK(summaryWanted(1, state));
}

TEST_CASE("names, lists and command lines are cut or refused, never written past")
{
    const char list[] = "IRampart\0\0Velkor-\xC4Z\0IIIIIIIIII\0";  // and the closing zero
    CHECK(countSectionNames(list, int(sizeof list) - 1) == 4);
    const struct { int n; size_t size; const char* name; } names[] = {
        {-5, 64, "irampart"}, {2, 64, ""},  // an empty name hides none behind it
        {3, 64, "velkor-\xC4z"}, {4, 5, "iiii"}, {5, 64, ""},
    };
    char out[72];
    for (const auto& c : names) {
        memset(out, '#', sizeof out);
        nthSectionName(list, int(sizeof list) - 1, c.n, out, c.size);
        CHECK(std::string(out) == c.name);
        CHECK(std::string(out + c.size, sizeof out - c.size) == std::string(sizeof out - c.size, '#'));
    }
    nthSectionName("ia\0ibcdef", 7, 2, out, sizeof out);  // cut off by the service, no zero
    CHECK(std::string(out) == "ibcd");

    // Each title keeps room for "...\n" behind it: 20 characters hold 19.
    memset(out, '#', sizeof out);
    out[0] = '\0';
    for (const char* title : {"abcdefghij", "ab", "", "x", ""})
        appendTitle(out, 20, title);
    CHECK(std::string(out) == "abcdefghij\nab\n\n...\n");
    CHECK(out[20] == '#');

    char line[kCommandLineSize];
    std::string dir = "C:\\" + std::string(kValueSize - 1 - 5, 'd') + " x";  // the longest
    std::string ini = dir + "\\VGOSETUP.INI";
    CHECK(setupCommandLine(dir.c_str(), ini.c_str(), line, sizeof line));
    CHECK(std::string(line) == "\"" + dir + "\\VGOSETUP.EXE\" " + ini);
    CHECK_FALSE(setupCommandLine("C:\\Games\\Rampart", "C:\\x.ini", line, 20));
    CHECK(std::string(line) == "");

    CHECK(executeCount("99999999999999999999") == 2147483647);  // n - 1 stays an int
    CHECK(executeCount("-99999999999999999999") == -2147483647);
    runState.instance = GetModuleHandleA(nullptr);
    loadText(IDS_ALL_UP_TO_DATE, line, 8);
    CHECK(std::string(line) == "All ins");
}
