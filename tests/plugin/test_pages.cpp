// Pages at once, and the addresses a page's streams may send the browser
// to: each instance's exchange is its own, and with a trusted server list
// every page it names lies on a listed server.
#include <stdio.h>
#include <string.h>

#include <memory>
#include <regex>

#include <doctest/doctest.h>

#include "exchange/controller.h"
#include "exchange/origin.h"
#include "host/instance.h"
#include "prefix_state.h"
#include "wine_files.h"

// The table's ORIGIN column: \n, \r, \\ and \xHH stand for those bytes.
static std::string unescape(const std::string& text)
{
    std::string bytes;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        char c = text[++i];
        if (c == 'x' && i + 2 < text.size()) {
            bytes += char(strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            bytes += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        }
    }
    return bytes;
}

TEST_CASE("the shared origin table: the entries the list takes as origins")
{
    int rows = 0;
    for (const std::string& line : readLines(VK_ORIGIN_TABLE)) {
        if (line.empty() || line[0] == '#')
            continue;
        size_t tab = line.find('\t');
        REQUIRE(tab != std::string::npos);
        const std::string origin = unescape(line.substr(0, tab)), verdict = line.substr(tab + 1);
        CAPTURE(line);
        REQUIRE((verdict == "accepted" || verdict == "refused"));
        Origin parsed;
        CHECK((parseOrigin(origin.c_str(), origin.size(), &parsed) == origin.size()) ==
              (verdict == "accepted"));
        rows++;
    }
    CHECK(rows >= 30);
}

TEST_CASE("addresses resolve against the stream's address as a browser resolves them")
{
    const char* const base = "https://games.example:8443/a/b/check?x=/y#z";
    const struct {
        const char* address;
        const char* resolved;  // "": another scheme, not resolved
    } rows[] = {
        {"index.html", "https://games.example:8443/a/b/index.html"},
        {"../up.html", "https://games.example:8443/a/b/../up.html"},
        {"/root.html", "https://games.example:8443/root.html"},
        {"/\\evil.example/x", "https://games.example:8443/\\evil.example/x"},
        {"//evil.example/x", "https://evil.example/x"},
        {"?q=1", "https://games.example:8443/a/b/check?q=1"},
        {"#top", "https://games.example:8443/a/b/check?x=/y#top"},
        {"", "https://games.example:8443/a/b/check?x=/y"},
        {"HTTP://other.example/p", "HTTP://other.example/p"},
        {"https:x", "https:x"},  // absolute, and no address: the origin check refuses it
        {" javascript:alert(1)", "https://games.example:8443/a/b/ javascript:alert(1)"},
        {"javascript:alert(1)", ""},
        {"JavaScript:alert(1)", ""},
        {"file:///C:/x", ""},
        {"data:text/html,x", ""},
        {"httpx://a", ""},
    };
    for (const auto& row : rows) {
        CAPTURE(row.address);
        char resolved[128];
        memset(resolved, '#', sizeof resolved);
        size_t needed = resolveAddress(base, row.address, resolved, sizeof resolved);
        CHECK((needed == 0 ? std::string() : std::string(resolved)) == row.resolved);
        CHECK(needed == strlen(row.resolved));
    }
    // Too long for the buffer: cut within it, and the whole length told.
    char small[16];
    memset(small, '#', sizeof small);
    CHECK(resolveAddress(base, "/root.html", small, 10) == 36);
    CHECK((std::string(small) == "https://g" && small[10] == '#'));
}

// One page: its instance, and its own address on the tests' server, so that
// what the plug-in asks for shows whose it is.
struct Page {
    std::unique_ptr<TestInstance> instance;
    std::string url;
};

// The exchange's own log lines, in a form that shows the order of events.
static Lines eventsOf(const Lines& log)
{
    static const std::regex event("(Log file open at|NPP_DestroyStream called; reason = 0, state = [0-9]|"
                                  "About to NPN_PostURLNotify|Awake -- buffer is '[^']*'|Starting |"
                                  "Got abort|Aborting|navigation|Calling NPN_GetURL|initPaths failed|"
                                  "couldn't find semi).*");
    Lines events;
    for (const std::string& line : log)
        if (std::regex_match(line, event))
            events.push_back(line.rfind("Log file open at", 0) == 0 ? "open" : line);
    return events;
}

TEST_CASE("two pages at once: each exchange ends as it would alone, and the log keeps both")
{
    FakeBrowser& browser = installFakeBrowser();
    InstalledService service;
    const std::string manifest = "iTestGame;a.exe\n\n", launch = "-fast 1\n";
    const std::string redirect = "REDIRECT;update.html\n", abort = "ABORT;/bye.html\n";
    const std::string d = "NPP_DestroyStream called; reason = 0, state = ";
    const std::string post = "About to NPN_PostURLNotify", call = "Calling NPN_GetURL";
    const std::string startA = "Starting \"C:\\vk system\\vkclient.exe\" -fast 1";
    const std::string a = "http://games.example/a/", b = "http://games.example/b/";
    // Steps: "A+" creates page A's instance, "A-" destroys it; "Am" streams
    // it the manifest, "Al" an answer that launches, "Ar" one that
    // redirects, "Ax" an abort.
    const struct {
        const char* steps;
        Lines posts, navigations;
        int stateA, stateB;  // at the end; -1 for a page gone
        Lines events;        // the log, as eventsOf shows it
    } rows[] = {
        // A's manifest, B created, A's answer: A launches and goes to its
        // index.html; B waits for its own manifest
        {"A+ Am B+ Al", {a + "ret_objects"}, {a + "index.html _top"}, kAnswered, kAwaitingManifest,
         {"open", d + "0", post, "open", d + "1", "Awake -- buffer is '-fast 1'", startA, call}},
        // both mid-exchange, their answers in the other order
        {"A+ B+ Am Bm Br Al", {a + "ret_objects", b + "ret_objects"},
         {b + "update.html _self", a + "index.html _top"}, kAnswered, kAnswered,
         {"open", "open", d + "0", post, d + "0", post, d + "1",
          "Awake -- buffer is 'REDIRECT;update.html'", call, d + "1", "Awake -- buffer is '-fast 1'",
          startA, call}},
        // B aborted while A waits: only B's exchange ends
        {"A+ Am B+ Bx Al", {a + "ret_objects"}, {"http://games.example/bye.html _top", a + "index.html _top"},
         kAnswered, kAborted,
         {"open", d + "0", post, "open", d + "0", "Got abort from server -- ABORTING!", call,
          "Aborting...", d + "1", "Awake -- buffer is '-fast 1'", startA, call}},
        // A destroyed before its answer: B's exchange runs on in the same log
        {"A+ Am B+ A- Bm Br", {a + "ret_objects", b + "ret_objects"}, {b + "update.html _self"},
         -1, kAnswered,
         {"open", d + "0", post, "open", d + "0", post, d + "1",
          "Awake -- buffer is 'REDIRECT;update.html'", call}},
        // A second page's streams never count as the first one's answer: the
        // second embed of one page gets its own report
        {"A+ B+ Am Bm", {a + "ret_objects", b + "ret_objects"}, {}, kAwaitingAnswer, kAwaitingAnswer,
         {"open", "open", d + "0", post, d + "0", post}},
        // with no other instance alive, a new one starts the log anew
        {"A+ Am A- B+ Bm", {a + "ret_objects", b + "ret_objects"}, {}, -1, kAwaitingAnswer,
         {"open", d + "0", post}},
    };
    for (const auto& row : rows) {
        const std::string steps = row.steps;
        CAPTURE(steps);
        browser.posts.clear();
        browser.getUrls.clear();
        Page pages[2] = {{nullptr, a + "check"}, {nullptr, b + "check"}};
        bool launched = false;
        for (const char* step = row.steps; *step; step += step[2] ? 3 : 2) {
            Page& page = pages[step[0] - 'A'];
            const char what = step[1];
            if (what == '+') {
                page.instance.reset(new TestInstance);
                REQUIRE(page.instance->created == NPERR_NO_ERROR);
                continue;
            }
            REQUIRE(page.instance);
            if (what == '-') {
                page.instance.reset();
                continue;
            }
            const std::string& bytes =
                what == 'm' ? manifest : what == 'l' ? launch : what == 'r' ? redirect : abort;
            launched |= what == 'l';
            CHECK(deliverStream(&page.instance->npp, bytes, 4096, NPRES_DONE, page.url.c_str()) ==
                  NPERR_NO_ERROR);
        }
        Lines posted;
        for (const PostCall& call : browser.posts)
            posted.push_back(call.url);
        CHECK(posted == row.posts);
        CHECK(browser.getUrls == row.navigations);
        const int states[2] = {row.stateA, row.stateB};
        for (int i = 0; i < 2; i++)
            CHECK((pages[i].instance ? pages[i].instance->record()->exchangeState : -1) == states[i]);
        CHECK(eventsOf(lastLines()) == row.events);
        if (launched)
            CHECK(waitForLaunch() == Lines{"\"C:\\vk system\\vkclient.exe\" -fast 1", "C:\\vk system"});
        for (Page& page : pages)
            page.instance.reset();
        CHECK(liveInstances == 0);
    }
    CHECK(guardsIntact());
}
