// Shared pieces of the exchange tests: a service installed in the prefix
// with a stand-in launcher that reports how it was started, and the log.
#pragma once

#include <string>
#include <vector>

#include "fake_browser.h"
#include "prefix_state.h"

using Lines = std::vector<std::string>;

// The components in "C:\vk system" with the stand-in vkclient.exe; the game
// iTestGame in "C:\vk game" with a.exe ("abc"), "b dat" (2000 times "a") and
// empty.dat; the game iNoStart without StartIn, iEmptyStart with an empty one.
struct InstalledService {
    ComponentsKeyGuard key;
    ServiceIniGuard ini;
    InstalledService();
    ~InstalledService();
};

// The command line and working directory the stand-in last reported; empty
// when no report came within a few seconds.
Lines waitForLaunch();

// The log without its opening line, and its last n lines.
Lines logBody();
Lines lastLines(size_t n);
