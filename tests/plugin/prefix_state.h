// The parts of the Wine prefix that the tests set up and read: the
// components key, the service INI file, a whole installed service with a
// stand-in launcher, and the plug-in's log. Each guard takes its part over
// for one test and puts back what was there before.
#pragma once

#include <string>
#include <vector>

using Lines = std::vector<std::string>;

// HKLM\Software\Velkor Games Online with its components key, moved aside on
// construction and put back on destruction.
struct ComponentsKeyGuard {
    ComponentsKeyGuard();
    ~ComponentsKeyGuard();
    // Stores bytes under name exactly, creating the components key if needed.
    void setValue(const char* name, const std::string& bytes, unsigned long type);
    void setString(const char* name, const std::string& text);  // with its terminator
    void remove();  // the components key, values and all
    bool hadKey;
};

// velkorgo.ini in the Windows directory, removed on construction and put
// back on destruction.
struct ServiceIniGuard {
    ServiceIniGuard();
    ~ServiceIniGuard();
    void write(const std::string& text);  // "" removes the file
    void remove() { write(""); }
    std::string path, savedBytes;
    bool hadFile;
};

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

// The last n lines of the log (all of them when it has fewer).
Lines lastLines(size_t n);
