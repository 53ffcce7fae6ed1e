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

// The log on, or off: a directory holding its name, so the file cannot be
// created. Takes effect with the next instance.
static void useLog(bool on)
{
    DeleteFileA(logPath.c_str());
    RemoveDirectoryA(logPath.c_str());
    if (!on)
        CreateDirectoryA(logPath.c_str(), nullptr);
}

// One check of the manifest by a new instance: ms, or -1 when the plug-in
// did not post the expected report.
static double timedCheck(const Plugin& plugin, const std::string& manifest,
                         const std::string& expected, bool withLog)
{
    useLog(withLog);
    startBrowser(plugin);
    TestInstance t;
    double ms = milliseconds([&] { deliverStream(&t.npp, manifest); });
    const auto& posts = fakeBrowser().posts;
    return posts.size() == 1 && posts[0].bytes.find(expected) != std::string::npos ? ms : -1;
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

    printf("The version check of N files by %s, loaded and driven as a browser does,\n"
           "against the floor, measured in the same process on the same files.\n"
           "Warm cache, medians of %d runs. Of the files, 10 %% are under 1 KiB, the rest\n"
           "4 KiB to 1 MiB (random bytes up to 4 KiB, then a hole).\n\n"
           "  N          files in the manifest\n"
           "  check      ms from the manifest stream's start until the report is posted:\n"
           "             every file fingerprinted, with its four log lines\n"
           "  no log     the same with no log file\n"
           "  floor      ms to open each file, ReadFile its first 1024 bytes, close it and\n"
           "             take their CRC, and nothing else\n"
           "  per file   check and floor in ms per file\n"
           "  ratio      check / floor of the same run, median (the three passes of a run\n"
           "             come back to back, each first in turn)\n\n",
           argv[1], runs);
    printf("%8s %10s %10s %10s %10s %10s %8s\n", "N", "check", "no log", "floor",
           "check/file", "floor/file", "ratio");
    for (size_t n : {size_t(500), size_t(5000), size_t(20000)}) {
        if (n > names.size()) {
            printf("%8zu (only %zu files in %s)\n", n, names.size(), dir.c_str());
            continue;
        }
        const std::string manifest = manifestOf(names, n);
        const std::string expected = expectedReport(names, paths, n);
        std::vector<double> times[3], ratio;  // check, no log, floor
        for (int run = 0; run <= runs; run++) {  // run 0 warms up
            double ms[3];
            // Each first in turn: none gains from what another left behind.
            for (int i = 0; i < 3; i++) {
                int pass = (run + i) % 3;
                ms[pass] = pass == 2 ? milliseconds([&] { crcSink += floorPass(paths, n); })
                                     : timedCheck(plugin, manifest, expected, pass == 0);
                if (ms[pass] < 0) {
                    fprintf(stderr, "plugin_bench: the plug-in did not report the %zu files\n", n);
                    return 1;
                }
            }
            for (int pass = 0; pass < 3 && run > 0; pass++)
                times[pass].push_back(ms[pass]);
            if (run > 0)
                ratio.push_back(ms[0] / ms[2]);
        }
        double c = median(times[0]), f = median(times[2]);
        printf("%8zu %10.1f %10.1f %10.1f %10.4f %10.4f %8.2f\n", n, c, median(times[1]), f,
               c / double(n), f / double(n), median(ratio));
    }

    printf("\nStream intake of a %u-byte stream, cut short by the user so that nothing\n"
           "acts on it, against the number of chunks it comes in; medians of %d runs.\n\n"
           "  chunks     NPP_Write calls (each after NPP_WriteReady)\n"
           "  log on     ms for the whole stream, two log lines per chunk written\n"
           "  log off    ms with no log file\n"
           "  per byte   ns per byte of the stream, log on / log off\n\n",
           unsigned(stream.size()), runs);
    printf("%8s %10s %10s %10s %10s\n", "chunks", "log on", "log off", "ns/B on", "ns/B off");
    for (int chunks = 16; chunks <= 262144; chunks *= 4) {
        double result[2];
        for (bool withLog : {true, false}) {
            useLog(withLog);
            std::vector<double> times;
            for (int run = 0; run < runs; run++) {
                startBrowser(plugin);
                TestInstance t;
                times.push_back(milliseconds([&] {
                    deliverStream(&t.npp, stream, stream.size() / chunks, NPRES_USER_BREAK);
                }));
            }
            result[withLog ? 0 : 1] = median(times);
        }
        printf("%8d %10.2f %10.2f %10.2f %10.2f\n", chunks, result[0], result[1],
               result[0] * 1e6 / double(stream.size()), result[1] * 1e6 / double(stream.size()));
    }
    useLog(true);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Velkor Games Online");
    return 0;
}
