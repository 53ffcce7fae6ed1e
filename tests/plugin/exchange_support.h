// Shared pieces of the exchange tests: a place where the stand-in launcher
// can be started and report back, and ways to look at the log.
#pragma once

#include <string>
#include <vector>

#include "fake_browser.h"

// A directory holding a copy of the stand-in vkclient.exe, removed again at
// the end. The stand-in reports how it was started to a file of ours.
struct LauncherDir {
    std::string path;
    explicit LauncherDir(const std::string& name, bool withLauncher = true);
    ~LauncherDir();
};

struct LaunchReport {
    bool arrived = false;
    std::string commandLine;
    std::string directory;
};

// Forgets any earlier report; call before the launch.
void expectLaunch();
// Waits (a few seconds at most) for the stand-in's report.
LaunchReport waitForLaunch();

// The prefix's temporary directory, without a trailing backslash.
std::string tempDirectory();

// The log without its opening line.
std::vector<std::string> logBody();

// Whether the log holds a line exactly.
bool logHas(const std::string& line);

// Opens a stream and writes bytes into it in chunks, leaving it open.
void openStream(TestInstance& t, const std::string& bytes, size_t chunkSize = 4096);
