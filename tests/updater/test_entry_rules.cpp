// The updater's entry rules without Windows: the switch scanner and the
// decision whether a summary follows the pass.
#include <doctest/doctest.h>

#include <string.h>

#include <string>

#include "command_line.h"
#include "run_state.h"
#include "summary_decision.h"

RunState runState;

namespace {

struct Flags {
    int showErrors;
    int silentOnSuccess;
};

Flags parse(const char* text)
{
    runState.showErrors = 0;
    runState.silentOnSuccess = 0;
    parseCommandLine(text);
    return {runState.showErrors, runState.silentOnSuccess};
}

}  // namespace

TEST_CASE("switches are whole space-separated tokens, folded to lower case")
{
    struct Case {
        const char* text;
        int showErrors;
        int silentOnSuccess;
    };
    const Case cases[] = {
        /*  0 */ {"", 0, 0},
        /*  1 */ {" \t\r\n\v\f ", 0, 0},
        /*  2 */ {"-d", 1, 0},
        /*  3 */ {"-S", 0, 1},
        /*  4 */ {"-D", 1, 0},
        /*  5 */ {"-d -s", 1, 1},
        /*  6 */ {"-s -d", 1, 1},
        /*  7 */ {"-d   -s", 1, 1},
        /*  8 */ {"  -s", 0, 1},
        /*  9 */ {"-s ", 0, 1},
        /* 10 */ {"-d -d -d", 1, 0},
        /* 11 */ {"foo -d", 1, 0},
        /* 12 */ {"-d foo", 1, 0},
        /* 13 */ {"-ds", 0, 0},
        /* 14 */ {"-d-s", 0, 0},
        /* 15 */ {"-dx", 0, 0},
        /* 16 */ {"--d", 0, 0},
        /* 17 */ {"d", 0, 0},
        /* 18 */ {"-", 0, 0},
        /* 19 */ {"/d", 0, 0},
        // Only a space ends a token: a tab, line feed or carriage return
        // inside the line joins its neighbours into one token.
        /* 20 */ {"-d\t-s", 0, 0},
        /* 21 */ {"-s\r\n", 0, 0},
        /* 22 */ {"-s\t", 0, 0},
        // ...but white space of any kind before a token is skipped.
        /* 23 */ {"-d \t-s", 1, 1},
        /* 24 */ {"\t-s", 0, 1},
        // Bytes beyond ASCII are kept as they are, not folded or matched.
        /* 25 */ {"-\xc4 -s", 0, 1},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        CAPTURE(i);
        CAPTURE(c.text);
        Flags flags = parse(c.text);
        CHECK(flags.showErrors == c.showErrors);
        CHECK(flags.silentOnSuccess == c.silentOnSuccess);
    }
}

TEST_CASE("a null command line sets nothing")
{
    Flags flags = parse(nullptr);
    CHECK(flags.showErrors == 0);
    CHECK(flags.silentOnSuccess == 0);
}

TEST_CASE("switches only ever set their flags")
{
    runState.showErrors = 1;
    runState.silentOnSuccess = 1;
    parseCommandLine("foo");
    CHECK(runState.showErrors == 1);
    CHECK(runState.silentOnSuccess == 1);
}

TEST_CASE("an overlong token is skipped whole and the scan goes on")
{
    // The scanner's token buffer holds 79 characters. Around that size a
    // token must neither count as a switch nor spill into what follows, and
    // the switch behind it must still be found.
    for (size_t length : {78u, 79u, 80u, 81u, 200u, 5000u}) {
        CAPTURE(length);
        std::string filler(length, 'x');

        Flags flags = parse((filler + " -s").c_str());
        CHECK(flags.showErrors == 0);
        CHECK(flags.silentOnSuccess == 1);

        // Were the overflow wrapped or cut into a fresh token, the "-d" at
        // the end of this one could pass for a switch.
        flags = parse((filler + "-d").c_str());
        CHECK(flags.showErrors == 0);

        flags = parse(("-s" + filler + " -d").c_str());
        CHECK(flags.silentOnSuccess == 0);
        CHECK(flags.showErrors == 1);
    }
}

TEST_CASE("the summary follows every pass that ran, unless -s and nothing failed")
{
    struct Case {
        intptr_t passResult;
        const char* failedList;
        int silentOnSuccess;
        bool shown;
    };
    const Case cases[] = {
        /* 0 */ {0, "", 0, false},
        /* 1 */ {0, "", 1, false},
        /* 2 */ {1, "Duskfall\n", 0, true},
        /* 3 */ {1, "Duskfall\n", 1, true},
        /* 4 */ {1, "", 0, true},
        /* 5 */ {1, "", 1, false},
        // The progress dialog could not be created: the pass never ran, so
        // there is nothing to summarise (and "up to date" would be a lie).
        /* 6 */ {-1, "", 0, false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        CAPTURE(i);
        RunState state{};
        strcpy(state.failedList, c.failedList);
        state.silentOnSuccess = c.silentOnSuccess;
        CHECK(summaryWanted(c.passResult, state) == c.shown);
    }
}
