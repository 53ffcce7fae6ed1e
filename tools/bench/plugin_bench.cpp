// plugin_bench DLL FILES_DIR [RUNS]: the built plug-in, loaded and driven
// through its exports as a browser does, timed against the floor: what any
// program must spend to fingerprint the same files. Run by make bench.
// plugin_bench DLL FILES_DIR --check N | --intake CHUNKS: one check of the
// first N files, or one 4 MiB stream in that many chunks, with the log on
// and untimed: for counting the system calls they make.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "fake_browser.h"
#include "wine_files.h"

static const char kKey[] = "Software\\Velkor Games Online\\Velkor System Components";

static uint32_t crcTable[256];

static void makeCrcTable()
{
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t value = i << 24;
        for (int bit = 0; bit < 8; bit++)
            value = (value & 0x80000000u) ? (value << 1) ^ 0x04C11DB7u : value << 1;
        crcTable[i] = value;
    }
}

// The cksum CRC, as the plug-in computes it.
static uint32_t cksum(const unsigned char* bytes, DWORD count)
{
    uint32_t crc = 0;
    for (DWORD i = 0; i < count; i++)
        crc = (crc << 8) ^ crcTable[(crc >> 24) ^ bytes[i]];
    for (DWORD n = count; n > 0; n >>= 8)
        crc = (crc << 8) ^ crcTable[(crc >> 24) ^ (n & 0xFF)];
    return ~crc;
}

static volatile uint32_t crcSink;  // so that no CRC is left out

// The floor: open, read the head, close, CRC. Returns the sum of the CRCs.
static uint32_t floorPass(const std::vector<std::string>& paths, size_t n)
{
    uint32_t sum = 0;
    for (size_t i = 0; i < n; i++) {
        HANDLE file = CreateFileA(paths[i].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        unsigned char head[1024];
        DWORD got = 0;
        if (file == INVALID_HANDLE_VALUE || !ReadFile(file, head, sizeof head, &got, nullptr)) {
            fprintf(stderr, "plugin_bench: cannot read %s\n", paths[i].c_str());
            exit(1);
        }
        CloseHandle(file);
        sum += got ? cksum(head, got) : 0xFFFFFFFFu;
    }
    return sum;
}

// The report the plug-in must post for the first n files, each file's
// fingerprint taken here, untimed.
static std::string expectedReport(const std::vector<std::string>& names,
                                  const std::vector<std::string>& paths, size_t n)
{
    std::string body = "junk=1&number=" + std::to_string(n) + "&versions=";
    for (size_t i = 0; i < n; i++) {
        HANDLE file = CreateFileA(paths[i].c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        unsigned char head[1024];
        DWORD got = 0;
        ReadFile(file, head, sizeof head, &got, nullptr);
        DWORD size = GetFileSize(file, nullptr);
        CloseHandle(file);
        char text[24];
        snprintf(text, sizeof text, "%lu%lu", (unsigned long)(got ? cksum(head, got) : 0xFFFFFFFFu),
                 (unsigned long)size);
        body += names[i] + "=" + text + ";";
    }
    body.back() = '\0';
    return body;
}

// The game iBench's first n files, as the server streams them.
static std::string manifestOf(const std::vector<std::string>& names, size_t n)
{
    std::string manifest = "iBench;";
    for (size_t i = 0; i < n; i++)
        manifest += names[i] + "\n";
    return manifest + "\n";  // the stream's last byte, which becomes its terminator
}

static double milliseconds(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Plugin {
    HMODULE module;
    NPError(WINAPI* getEntryPoints)(NPPluginFuncs*);
    NPError(WINAPI* initialize)(NPNetscapeFuncs*);
};

// A browser started afresh, with the plug-in given both tables.
static void startBrowser(const Plugin& plugin)
{
    plugin.getEntryPoints(&resetFakeBrowser(9).plugin);
    plugin.initialize(&fakeBrowser().table);
}

static std::string logPath;
static HANDLE logBlock = INVALID_HANDLE_VALUE;

// The log off, or on again. Off is a handle of ours that shares the file
// with readers only, so the plug-in's next open for writing fails. It can
// be taken only while the plug-in holds no log, and the plug-in never
// closes its log: every pass without the log comes before the first with.
static void blockLog(bool block)
{
    if (block) {
        logBlock = CreateFileA(logPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               CREATE_ALWAYS, 0, nullptr);
    } else {
        CloseHandle(logBlock);
        logBlock = INVALID_HANDLE_VALUE;
    }
}

// One check of the manifest by a new instance: ms, or -1 when the plug-in
// did not post the expected report.
static double timedCheck(const Plugin& plugin, const std::string& manifest,
                         const std::string& expected)
{
    startBrowser(plugin);
    TestInstance t;
    double ms = milliseconds([&] { deliverStream(&t.npp, manifest); });
    const auto& posts = fakeBrowser().posts;
    return posts.size() == 1 && posts[0].bytes.find(expected) != std::string::npos ? ms : -1;
}

// The median time of a 4 MiB stream in that many chunks, cut short.
static double timedIntake(const Plugin& plugin, const std::string& stream, int chunks, int runs)
{
    std::vector<double> times;
    for (int run = 0; run < runs; run++) {
        startBrowser(plugin);
        TestInstance t;
        times.push_back(milliseconds(
            [&] { deliverStream(&t.npp, stream, stream.size() / size_t(chunks), NPRES_USER_BREAK); }));
    }
    return median(times);
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        fputs("usage: plugin_bench DLL FILES_DIR [RUNS | --check N | --intake CHUNKS]\n", stderr);
        return 2;
    }
    const std::string dir = argv[2], once = argc > 4 ? argv[3] : "";
    // Runs; or files or chunks for a single pass.
    const int runs = std::max(1, atoi(argc > 4 ? argv[4] : argc > 3 ? argv[3] : "5"));
    Plugin plugin{LoadLibraryA(argv[1]), nullptr, nullptr};
    if (!plugin.module) {
        fprintf(stderr, "plugin_bench: cannot load %s\n", argv[1]);
        return 1;
    }
    plugin.getEntryPoints = reinterpret_cast<decltype(plugin.getEntryPoints)>(
        reinterpret_cast<void*>(GetProcAddress(plugin.module, "NP_GetEntryPoints")));
    plugin.initialize = reinterpret_cast<decltype(plugin.initialize)>(
        reinterpret_cast<void*>(GetProcAddress(plugin.module, "NP_Initialize")));
    makeCrcTable();
    logPath = windowsDirectory() + "\\versioning.log";
    const std::string stream(4 << 20, 'x');
    if (once == "--intake") {
        startBrowser(plugin);
        TestInstance t;
        deliverStream(&t.npp, stream, stream.size() / size_t(runs), NPRES_USER_BREAK);
        return 0;
    }

    // The game iBench lives in the files' directory.
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKey, "SystemPath", REG_SZ, "C:\\", 4);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKey, "PlugInPath", REG_SZ, "C:\\", 4);
    WritePrivateProfileStringA("iBench", "StartIn", dir.c_str(), "velkorgo.ini");

    std::vector<std::string> names, paths;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\f*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        names.push_back(found.cFileName);
    FindClose(search);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        paths.push_back(dir + "\\" + name);
    if (once == "--check") {
        startBrowser(plugin);
        TestInstance t;
        deliverStream(&t.npp, manifestOf(names, std::min(names.size(), size_t(runs))));
        return fakeBrowser().posts.size() == 1 ? 0 : 1;
    }

    const size_t sizes[] = {500, 5000, 20000};
    const int chunkCounts[] = {16, 64, 256, 1024, 4096, 16384, 65536, 262144};
    std::vector<std::string> manifests, expected;
    for (size_t n : sizes) {
        size_t files = std::min(n, names.size());
        manifests.push_back(manifestOf(names, files));
        expected.push_back(expectedReport(names, paths, files));
    }

    // Everything without the log first: see blockLog.
    blockLog(true);
    std::vector<double> noLog, intakeOff;
    for (size_t i = 0; i < manifests.size(); i++) {
        std::vector<double> times;
        for (int run = 0; run <= runs; run++)  // run 0 warms up
            times.push_back(timedCheck(plugin, manifests[i], expected[i]));
        times.erase(times.begin());
        noLog.push_back(median(times));
    }
    for (int chunks : chunkCounts)
        intakeOff.push_back(timedIntake(plugin, stream, chunks, runs));
    blockLog(false);

    printf("The version check of N files by %s, loaded and driven as a browser does,\n"
           "against the floor, measured in the same process on the same files.\n"
           "Warm cache, medians of %d runs. Of the files, 10 %% are under 1 KiB, the rest\n"
           "4 KiB to 1 MiB (random bytes up to 4 KiB, then a hole).\n\n"
           "  N          files in the manifest\n"
           "  check      ms from the manifest stream's start until the report is posted:\n"
           "             every file fingerprinted, with its four log lines\n"
           "  no log     the same with no log file (measured before the others)\n"
           "  floor      ms to open each file, ReadFile its first 1024 bytes, close it and\n"
           "             take their CRC, and nothing else\n"
           "  per file   check and floor in ms per file\n"
           "  ratio      check / floor of the same run, median (the two passes of a run\n"
           "             come back to back, each first in turn)\n\n",
           argv[1], runs);
    printf("%8s %10s %10s %10s %10s %10s %8s\n", "N", "check", "no log", "floor",
           "check/file", "floor/file", "ratio");
    for (size_t i = 0; i < manifests.size(); i++) {
        size_t n = sizes[i];
        if (n > names.size()) {
            printf("%8zu (only %zu files in %s)\n", n, names.size(), dir.c_str());
            continue;
        }
        std::vector<double> check, floor, ratio;
        for (int run = 0; run <= runs; run++) {  // run 0 warms up
            double checkMs = 0, floorMs = 0;
            auto checkRun = [&] { checkMs = timedCheck(plugin, manifests[i], expected[i]); };
            auto floorRun = [&] { floorMs = milliseconds([&] { crcSink += floorPass(paths, n); }); };
            // Each first in turn: neither gains from what the other left behind.
            if (run % 2)
                floorRun(), checkRun();
            else
                checkRun(), floorRun();
            if (checkMs < 0 || noLog[i] < 0) {
                fprintf(stderr, "plugin_bench: the plug-in did not report the %zu files\n", n);
                return 1;
            }
            if (run > 0)
                check.push_back(checkMs), floor.push_back(floorMs), ratio.push_back(checkMs / floorMs);
        }
        double c = median(check), f = median(floor);
        printf("%8zu %10.1f %10.1f %10.1f %10.4f %10.4f %8.2f\n", n, c, noLog[i], f,
               c / double(n), f / double(n), median(ratio));
    }

    printf("\nStream intake of a %u-byte stream, cut short by the user so that nothing\n"
           "acts on it, against the number of chunks it comes in; medians of %d runs.\n\n"
           "  chunks     NPP_Write calls (each after NPP_WriteReady)\n"
           "  log on     ms for the whole stream, two log lines per chunk written\n"
           "  log off    ms with no log file (measured before the others)\n"
           "  per byte   ns per byte of the stream, log on / log off\n\n",
           unsigned(stream.size()), runs);
    printf("%8s %10s %10s %10s %10s\n", "chunks", "log on", "log off", "ns/B on", "ns/B off");
    for (size_t i = 0; i < intakeOff.size(); i++) {
        double on = timedIntake(plugin, stream, chunkCounts[i], runs), off = intakeOff[i];
        printf("%8d %10.2f %10.2f %10.2f %10.2f\n", chunkCounts[i], on, off,
               on * 1e6 / double(stream.size()), off * 1e6 / double(stream.size()));
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Velkor Games Online");
    return 0;
}
