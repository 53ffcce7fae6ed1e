#include <ctype.h>
#include <string.h>
#include <time.h>

#include <doctest/doctest.h>

#include "exchange/log.h"
#include "fake_browser.h"
#include "wine_files.h"

// "Log file open at Sun Dec 06 02:30:26 2026"
static bool isOpeningLine(const std::string& line)
{
    const std::string prefix = "Log file open at ";
    if (line.compare(0, prefix.size(), prefix) != 0)
        return false;
    std::string t = line.substr(prefix.size());
    const char* pattern = "AAA AAA 00 00:00:00 0000";
    if (t.size() != strlen(pattern))
        return false;
    for (size_t i = 0; i < t.size(); i++) {
        char p = pattern[i];
        if ((p == 'A' && !isalpha((unsigned char)t[i])) ||
            (p == '0' && !isdigit((unsigned char)t[i])) ||
            (p != 'A' && p != '0' && p != t[i]))
            return false;
    }
    return true;
}

TEST_CASE("the time text has English names and a zero-padded day")
{
    struct tm when = {};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 6;
    when.tm_hour = 2;
    when.tm_min = 30;
    when.tm_sec = 26;
    when.tm_isdst = -1;
    char text[64];
    formatLogTime(mktime(&when), text, sizeof text);
    CHECK(std::string(text) == "Sun Dec 06 02:30:26 2026\n");
}

TEST_CASE("each new instance starts the log afresh")
{
    installFakeBrowser();
    TestInstance first;
    logMessage("from the first instance\n");
    std::vector<std::string> lines = logLines();
    REQUIRE(lines.size() == 2);
    CHECK(isOpeningLine(lines[0]));
    CHECK(lines[1] == "from the first instance");

    TestInstance second;
    lines = logLines();
    REQUIRE(lines.size() == 1);
    CHECK(isOpeningLine(lines[0]));
    logMessage("next\n");
    CHECK(logLines().back() == "next");

    // Lines end CR LF on disk: the log is a Windows text file.
    std::string bytes = readBinaryFile(windowsDirectory() + "\\versioning.log");
    CHECK(bytes.find("\r\nnext\r\n") != std::string::npos);
}

TEST_CASE("messages are written exactly as formatted")
{
    installFakeBrowser();
    TestInstance t;
    SUBCASE("percent signs from arguments stay as they are")
    {
        logMessage("Awake -- buffer is '%s'\n", "REDIRECT;a%20b%s%d.html");
        CHECK(logLines().back() == "Awake -- buffer is 'REDIRECT;a%20b%s%d.html'");
    }
    SUBCASE("a message longer than the buffer is written whole")
    {
        std::string answer(5000, 'q');
        answer += "END";
        logMessage("Awake -- buffer is '%s'\n", answer.c_str());
        CHECK(logLines().back() == "Awake -- buffer is '" + answer + "'");
    }
    SUBCASE("direct writes share the stream")
    {
        logWrite("realSize = %lu\n", 4294967295UL);
        CHECK(logLines().back() == "realSize = 4294967295");
    }
}

TEST_CASE("without an open log messages are dropped")
{
    FILE* saved = logFile;
    logFile = nullptr;
    logMessage("nowhere %d\n", 1);
    logWrite("nowhere %d\n", 2);
    logFile = saved;
    CHECK(true);
}
