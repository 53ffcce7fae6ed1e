// A place for the update pass to work on: the service INI file in the
// prefix's Windows directory, game directories with setup INIs and copies
// of the stand-in setup program, and ways to see what the pass did to them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Game directories live under this one; it is emptied at start and end.
extern const char kGamesRoot[];

struct PassBed {
    std::string serviceIni;  // <Windows directory>\VELKORGO.INI
    PassBed();
    ~PassBed();

    // Writes the service INI file.
    void writeServiceIni(const std::string& text);
    // Makes a game directory under kGamesRoot and returns its full path.
    std::string gameDir(const std::string& name);
    // Puts a copy of the stand-in setup program into dir as VGOSETUP.EXE.
    void installStandIn(const std::string& dir);
};

// A setup program's report: how it was started.
struct StartReport {
    bool started = false;
    std::string commandLine;
    int show = -2;  // the window's show state, -1 when none was given
};

// Waits a few seconds at most for the stand-in in dir to report.
StartReport waitForStart(const std::string& dir);
// The report of the stand-in in dir as it is now, without waiting.
StartReport startReport(const std::string& dir);

bool fileExists(const std::string& path);
bool isReadOnly(const std::string& path);
void setReadOnly(const std::string& path);

// INI text from lines, each ended by CR LF: the form the profile service
// writes, so that files it rewrites can be compared byte for byte.
std::string iniText(const std::vector<std::string>& lines);

// Message boxes shown on this thread while a catcher lives: each is
// recorded and closed with OK at once.
struct CaughtBox {
    std::string caption;
    std::string text;
    HWND owner;
    std::string ownerCaption;
};

struct MessageBoxCatcher {
    MessageBoxCatcher();
    ~MessageBoxCatcher();
    std::vector<CaughtBox> boxes;
};
