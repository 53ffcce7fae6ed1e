#include <string.h>

#include <doctest/doctest.h>

#include "exchange/launch.h"
#include "exchange_support.h"
#include "host/instance.h"

static int launch(TestInstance& t, const std::string& systemPath, std::string arguments)
{
    PluginInstance* This = t.record();
    strcpy(This->systemPath, systemPath.c_str());
    This->data = &arguments[0];
    int started = startClient(&t.npp, This);
    CHECK(std::string(This->data) == arguments);  // the arguments are left as they were
    This->data = nullptr;
    return started;
}

TEST_CASE("the launcher is started from systemPath, which is its working directory")
{
    FakeBrowser& browser = installFakeBrowser();
    TestInstance t;

    struct Row {
        const char* name;
        const char* directory;
        const char* arguments;
        bool quoted;
    };
    const Row rows[] = {
        {"plain path", "vkexchange", "A B", false},
        {"empty arguments keep the blank", "vkexchange", "", false},
        {"a blank in the path is quoted", "vk exchange", "-server \"a b\" 7", true},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        LauncherDir dir(row.directory);
        std::string program = dir.path + "\\vkclient.exe";
        std::string expected = (row.quoted ? "\"" + program + "\"" : program) + " " + row.arguments;
        browser.getUrls.clear();
        expectLaunch();

        CHECK(launch(t, dir.path, row.arguments) == 1);
        LaunchReport report = waitForLaunch();
        REQUIRE(report.arrived);
        CHECK(report.commandLine == expected);
        CHECK(report.directory == dir.path);

        REQUIRE(browser.getUrls.size() == 1);
        CHECK(browser.getUrls[0].url == "index.html");
        CHECK(browser.getUrls[0].target == "_top");
        std::vector<std::string> log = logBody();
        REQUIRE(log.size() >= 3);
        CHECK(std::vector<std::string>(log.end() - 3, log.end()) ==
              std::vector<std::string>{"Starting " + expected, "Calling NPN_GetURL",
                                       "NPN_GetURL is complete, result = 0"});
    }
}

TEST_CASE("a launch that cannot start leaves the page where it is")
{
    FakeBrowser& browser = installFakeBrowser();
    TestInstance t;

    SUBCASE("no launcher in systemPath")
    {
        LauncherDir dir("vkexchange-empty", false);
        CHECK(launch(t, dir.path, "A") == 0);
        CHECK(logLines().back() == "CreateProcess failed; 2");
        CHECK(browser.getUrls.empty());
    }
    SUBCASE("a command line longer than 259 characters is refused, not cut")
    {
        LauncherDir dir("vkexchange");
        std::string systemPath = dir.path;
        size_t fits = 259 - systemPath.size() - 14;
        expectLaunch();
        CHECK(launch(t, systemPath, std::string(fits + 1, 'x')) == 0);
        CHECK(logLines().back() == "command line too long; length = 260");
        CHECK(launch(t, systemPath, std::string(5000, 'x')) == 0);
        CHECK(logLines().back() ==
              "command line too long; length = " + std::to_string(systemPath.size() + 5014));
        CHECK(browser.getUrls.empty());

        CHECK(launch(t, systemPath, std::string(fits, 'x')) == 1);
        LaunchReport report = waitForLaunch();
        CHECK(report.commandLine.size() == 259);
        CHECK(browser.getUrls.size() == 1);
    }
    SUBCASE("a refused navigation is no failed launch")
    {
        LauncherDir dir("vkexchange");
        browser.getUrlResult = NPERR_GENERIC_ERROR;
        expectLaunch();
        CHECK(launch(t, dir.path, "A") == 1);
        CHECK(waitForLaunch().arrived);
        CHECK(logLines().back() == "NPN_GetURL is complete, result = 1");
    }
}
