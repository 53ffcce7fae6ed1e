// File fingerprints of real files in the prefix, and the log lines that go
// with them.
#include <string.h>

#include <string>

#include <doctest/doctest.h>
#include <windows.h>

#include "exchange/fingerprint.h"
#include "exchange/log.h"
#include "fake_browser.h"
#include "wine_files.h"

// A scratch directory beside the test program, emptied on exit.
struct ScratchDir {
    std::string path;
    std::vector<std::string> files;
    ScratchDir()
    {
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(sizeof cwd, cwd);
        path = std::string(cwd) + "\\fingerprint_files";
        CreateDirectoryA(path.c_str(), nullptr);
    }
    ~ScratchDir()
    {
        for (const std::string& f : files)
            removeFile(f);
        RemoveDirectoryA(path.c_str());
    }
    std::string file(const std::string& name, const std::string& bytes)
    {
        std::string p = path + "\\" + name;
        REQUIRE(writeBinaryFile(p, bytes));
        files.push_back(p);
        return p;
    }
    // A file of size bytes that starts with head; the rest is a hole that
    // costs no disk space.
    std::string sparse(const std::string& name, const std::string& head, LONGLONG size)
    {
        std::string p = file(name, head);
        HANDLE h = CreateFileA(p.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        REQUIRE(h != INVALID_HANDLE_VALUE);
        LARGE_INTEGER end;
        end.QuadPart = size;
        CHECK(SetFilePointerEx(h, end, nullptr, FILE_BEGIN));
        CHECK(SetEndOfFile(h));
        CloseHandle(h);
        return p;
    }
};

struct Fingerprint {
    int result;
    std::string text;
    int32_t length;
};

// The fingerprint of path, with a guard behind the slot that must stay
// untouched.
static Fingerprint fingerprint(const std::string& path)
{
    char slot[kChecksumSize + 8];
    memset(slot, 0x5A, sizeof slot);
    Fingerprint f;
    f.length = -7;
    f.result = CheckSumFile(path.c_str(), slot, &f.length);
    for (size_t i = kChecksumSize; i < sizeof slot; i++)
        REQUIRE(slot[i] == 0x5A);
    if (f.result)
        f.text = std::string(slot, strnlen(slot, kChecksumSize));
    return f;
}

// The log after the opening line.
static std::vector<std::string> messages()
{
    std::vector<std::string> lines = logLines();
    if (!lines.empty())
        lines.erase(lines.begin());
    return lines;
}

static std::string lastMessage()
{
    std::vector<std::string> lines = messages();
    return lines.empty() ? "(nothing logged)" : lines.back();
}

TEST_CASE("the CRC of no bytes is all ones")
{
    CHECK(cksumCrc(nullptr, 0) == 4294967295u);
}

TEST_CASE("a file's fingerprint is the CRC of its head and its size")
{
    ScratchDir dir;
    openLog();

    SUBCASE("three bytes, with every log line")
    {
        std::string path = dir.file("abc.dat", "abc");
        Fingerprint f = fingerprint(path);
        CHECK(f.result == 1);
        CHECK(f.text == "12191315543");
        CHECK(f.length == 11);
        CHECK(messages() == std::vector<std::string>{"Awake, about to map file " + path,
                                                     "realSize = 3", "checksum = 1219131554",
                                                     "returned checksum = 12191315543"});
    }
    SUBCASE("other readers do not stand in the way")
    {
        std::string path = dir.file("shared", "abc");
        HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        REQUIRE(reader != INVALID_HANDLE_VALUE);
        CHECK(fingerprint(path).text == "12191315543");
        CloseHandle(reader);
    }
}

TEST_CASE("the longest fingerprint is reported whole")
{
    ScratchDir dir;
    openLog();
    // A ten-digit CRC and a ten-digit size: twenty characters.
    std::string path = dir.sparse("big", std::string(1024, 'a'), 4000000000LL);
    Fingerprint f = fingerprint(path);
    CHECK(f.result == 1);
    CHECK(f.text == "26194053514000000000");
    CHECK(f.length == 20);
    CHECK(lastMessage() == "returned checksum = 26194053514000000000");
}

TEST_CASE("a file that cannot be opened has the fingerprint 0")
{
    ScratchDir dir;
    openLog();
    std::string locked = dir.file("locked", "abc");

    struct Case {
        const char* what;
        std::string path;
        DWORD access;  // of a handle another program holds on the file
        DWORD share;
        int error;
    };
    const Case cases[] = {
        {"missing file", dir.path + "\\nothing.dat", 0, 0, 2},
        {"missing directory", dir.path + "\\nowhere\\a.dat", 0, 0, 3},
        {"a directory", dir.path, 0, 0, 5},
        {"open for writing elsewhere", locked, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 32},
        {"open without sharing elsewhere", locked, GENERIC_READ, 0, 32},
    };
    for (const Case& c : cases) {
        const std::string what = c.what;
        CAPTURE(what);
        HANDLE other = INVALID_HANDLE_VALUE;
        if (c.access) {
            other = CreateFileA(c.path.c_str(), c.access, c.share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
            REQUIRE(other != INVALID_HANDLE_VALUE);
        }
        openLog();
        Fingerprint f = fingerprint(c.path);
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
        CHECK(f.result == 1);
        CHECK(f.text == "0");
        CHECK(f.length == 1);
        CHECK(messages() == std::vector<std::string>{
                                "Awake, about to map file " + c.path,
                                "CreateFile failed assuming file not found; error=" +
                                    std::to_string(c.error)});
    }
}

TEST_CASE("files that cannot be fingerprinted fail")
{
    ScratchDir dir;
    openLog();

    SUBCASE("an empty file cannot be mapped")
    {
        std::string path = dir.file("empty", "");
        CHECK(fingerprint(path).result == 0);
        CHECK(messages() == std::vector<std::string>{"Awake, about to map file " + path,
                                                     "realSize = 0", "CreateFileMapping failed"});
    }
    SUBCASE("a size of 0xFFFFFFFF reads as a failed size query")
    {
        std::string path = dir.sparse("huge", "abc", 0xFFFFFFFFLL);
        CHECK(fingerprint(path).result == 0);
        CHECK(messages() == std::vector<std::string>{"Awake, about to map file " + path,
                                                     "realSize = 4294967295", "GetFileSize failed"});
    }
    // Every handle was closed: the file can be removed at once.
    std::string again = dir.file("again", "");
    fingerprint(again);
    CHECK(DeleteFileA(again.c_str()));
}
