#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <doctest/doctest.h>

#include "exchange/command_line.h"
#include "exchange/request.h"

static VersionEntry entry(const char* name, const char* checksum)
{
    VersionEntry e;
    memset(&e, 0x5A, sizeof e);
    strcpy(e.name, name);
    strcpy(e.checksum, checksum);
    return e;
}

static std::string layOut(const std::vector<VersionEntry>& entries, const char* countText,
                          int32_t bodyLength, int64_t capacity = -1)
{
    int64_t nameBytes = 0;
    for (const VersionEntry& e : entries)
        nameBytes += int64_t(strlen(e.name));
    if (capacity < 0)
        capacity = requestCapacity(int32_t(entries.size()), nameBytes);
    std::string buf(size_t(capacity) + 16, '#');
    int32_t n = layOutRequest(&buf[0], capacity, entries.data(), int32_t(entries.size()),
                              countText, bodyLength);
    // Nothing past the block, even when the request does not fit.
    CHECK(buf.substr(size_t(capacity)) == std::string(16, '#'));
    return n ? buf.substr(0, size_t(n)) : std::string();
}

TEST_CASE("the request is laid out byte for byte")
{
    SUBCASE("only the pairs turn blanks into +; other characters go as they are")
    {
        std::vector<VersionEntry> entries = {entry("<WINDOWS>\\my game\\a=b:c.ini", "0")};
        std::string request = layOut(entries, "1", 99);
        CHECK(request.find("Content-Type: application") == 0);
        CHECK(request.substr(request.find("versions=")) ==
              std::string("versions=<WINDOWS>\\my+game\\a=b:c.ini=0") + '\0');
    }
    SUBCASE("the longest names and fingerprints fit the computed block")
    {
        std::vector<VersionEntry> entries(50, entry(std::string(259, ' ').c_str(),
                                                     "42949672954294967295"));
        std::string request = layOut(entries, "50", 2147483647);
        REQUIRE(!request.empty());
        CHECK(request.size() == 66 + 10 + 24 + 2 + 50 * (259 + 20 + 2));
        CHECK(request.find(' ', 70) == std::string::npos);
    }
    SUBCASE("a block too small is refused, not overrun")
    {
        std::vector<VersionEntry> entries = {entry("a.exe", "1")};
        for (int64_t capacity : {10, 60, 90, 96, 100})
            CHECK(layOut(entries, "1", 33, capacity).empty());
        CHECK(layOut(entries, "1", 33, 102).size() == 101);
    }
}

TEST_CASE("splitting a manifest ends each line at its newline")
{
    struct Row {
        const char* name;
        std::string bytes;
        int32_t lines;
        int64_t nameBytes;
        int32_t badLine;
        bool zeroInside;
    };
    std::string line259(259, 'n'), line260(260, 'n');
    const Row rows[] = {
        {"two lines and the terminator", std::string("a.exe\nb dat\n") + '\0', 2, 10, 0, false},
        {"last line without newline", std::string("a.exe\nb.dat") + '\0', 1, 5, 0, false},
        {"no newline at all", std::string("x") + '\0', 0, 0, 0, false},
        {"nothing", "", 0, 0, 0, false},
        {"empty lines", "\n\n\n", 3, 0, 0, false},
        {"a carriage return stays", "a\r\n", 1, 2, 0, false},
        {"longest name", line259 + "\n", 1, 259, 0, false},
        {"one too long", "ok\n" + line260 + "\n", 1, 2, 2, false},
        {"zero inside a line", std::string("ok\na\0b\n", 7), 1, 2, 2, true},
        {"zero after the last line", std::string("ok\n\0\0", 5), 1, 2, 0, false},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        std::string bytes = row.bytes;
        ManifestShape shape = splitManifest(&bytes[0], bytes.data() + bytes.size());
        CHECK(shape.lines == row.lines);
        CHECK(shape.nameBytes == row.nameBytes);
        CHECK(shape.badLine == row.badLine);
        CHECK(shape.zeroInside == row.zeroInside);
        if (row.badLine == 0)
            CHECK(std::count(bytes.begin(), bytes.end(), '\n') == 0);
    }
    std::string bytes = "a.exe\nb dat\nrest";
    splitManifest(&bytes[0], bytes.data() + bytes.size());
    CHECK(bytes == std::string("a.exe\0b dat\0rest", 16));
}

TEST_CASE("the launcher's command line stays within its 260 characters")
{
    // A tab splits an unquoted path just as a blank does.
    const char* expected = "\"C:\\tab\there\\vkclient.exe\" 1";
    char line[kCommandLineSize + 8];
    CHECK(buildCommandLine(line, kCommandLineSize, "C:\\tab\there", "1") == strlen(expected));
    CHECK(std::string(line) == expected);

    std::string systemPath = "C:\\SYS";  // 6 + 14 fixed characters
    for (size_t length : {259u, 260u, 5000u}) {
        CAPTURE(length);
        std::string arguments(length - 20, 'x');
        memset(line, '#', sizeof line);
        CHECK(buildCommandLine(line, kCommandLineSize, systemPath.c_str(), arguments.c_str()) ==
              length);
        CHECK(std::string(line + kCommandLineSize, 8) == std::string(8, '#'));
        if (length < kCommandLineSize)
            CHECK(std::string(line) == systemPath + "\\vkclient.exe " + arguments);
    }
}
