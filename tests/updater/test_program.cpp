// vkupdate.exe on prepared installations, driven from outside as a player would:
// its dialogs, the summary's layouts, how it closes, the exit status; screenshots.
#include <doctest/doctest.h>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "wine_files.h"

namespace {

const int kOk = 1, kStatus = 100, kSuccessBanner = 1003, kUpdated = 1004, kFailed = 1005,
          kRightGroup = 1006, kFailureBanner = 1007;  // of the template

// A Unix path the test bed gives in the environment, as Wine sees it.
std::string fromEnv(const char* name)
{
    std::string path = std::string("Z:") + getenv(name);
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

std::string textOf(HWND dialog, int id)
{
    char text[4096] = "";  // WM_GETTEXT, as GetWindowText reads no other program's controls
    SendMessageTimeoutA(GetDlgItem(dialog, id), WM_GETTEXT, sizeof text, LPARAM(text),
                        SMTO_ABORTIFHUNG, 5000, 0);
    return text;
}

// A control's place in the dialog's client area, or the dialog's own on the screen.
RECT rectOf(HWND dialog, int id = 0)
{
    RECT r;
    GetWindowRect(id ? GetDlgItem(dialog, id) : dialog, &r);
    MapWindowPoints(nullptr, id ? dialog : nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string placeOf(HWND dialog, int id = 0)  // "x y width height"
{
    RECT r = rectOf(dialog, id);
    return std::to_string(r.left) + " " + std::to_string(r.top) + " "
           + std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top);
}

// The visible window with this caption (one run at a time), or null on timeout or exit.
HWND waitForWindow(HANDLE run, const char* caption, int timeoutMs = 10000)
{
    for (; timeoutMs >= 0 && WaitForSingleObject(run, 10) == WAIT_TIMEOUT; timeoutMs -= 10) {
        HWND found = FindWindowA(nullptr, caption);
        if (found && IsWindowVisible(found)) {
            WaitForInputIdle(run, 2000);  // let it finish painting
            Sleep(100);
            return found;
        }
    }
    return nullptr;
}

// A key for the window once it is the active one, as a player presses it.
void pressKey(HWND window, WORD key)
{
    for (int tries = 0; GetForegroundWindow() != window && tries < 200; ++tries)
        Sleep(10);
    REQUIRE(GetForegroundWindow() == window);
    keybd_event(BYTE(key), 0, 0, 0);
    keybd_event(BYTE(key), 0, KEYEVENTF_KEYUP, 0);
}

// The window's area of the X screen as a PNG. Wine starts a Unix program
// without a handle to wait on: the picture is renamed into place when done.
void screenshot(HWND window, const char* name)
{
    std::string dir = fromEnv("VELKOR_SCREENSHOT_DIR"), png = dir + "\\" + name;
    CreateDirectoryA(dir.c_str(), nullptr);
    removeFile(png);
    RECT r = rectOf(window);
    char command[1024];
    snprintf(command, sizeof command, "/bin/sh -c \"cd '%s' && xwd -root -silent -display $DISPLAY"
             " | convert xwd:- -crop %ldx%ld+%ld+%ld +repage png:%s.part && mv %s.part %s\"",
             getenv("VELKOR_SCREENSHOT_DIR"), r.right - r.left, r.bottom - r.top, r.left, r.top,
             name, name, name);
    REQUIRE(WinExec(command, SW_HIDE) > 31);
    for (int tries = 0; tries < 500 && readBinaryFile(png) == ""; ++tries)
        Sleep(20);
    CHECK(readBinaryFile(png) != "");
}

// Each game's directory under `root`, with its setup INI and the stand-in
// as its setup program; returns the service INI file's text for them.
// irampart and iduskfall are installed, iblotball lacks StartIn, icueshot
// its setup INI.
std::string installGames(const std::string& root, const std::vector<std::string>& games)
{
    const std::string standIn = fromEnv("VELKOR_SETUP_STANDIN");
    std::string text = "[Velkor]\r\nVersion=1\r\n";
    CreateDirectoryA(root.c_str(), nullptr);
    for (const std::string& name : games) {
        std::string dir = root + "\\" + name;
        CreateDirectoryA(dir.c_str(), nullptr);
        text += "[" + name + "]\r\nEXECUTECount=1\r\n[0 " + name + "]\r\n"
                + (name == "iblotball" ? "" : "StartIn=" + dir + "\r\n");
        if (name != "icueshot")
            REQUIRE(writeBinaryFile(dir + "\\VGOSETUP.INI", "[" + name + "]\r\nEXECUTECount=1\r\n"));
        REQUIRE(CopyFileA(standIn.c_str(), (dir + "\\VGOSETUP.EXE").c_str(), 0));
    }
    return text;
}

PROCESS_INFORMATION startUpdater(const char* arguments)
{
    const std::string program = fromEnv("VELKOR_UPDATER_EXE");
    std::string line = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION run{};
    REQUIRE(CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &run));
    return run;
}

struct Case {
    const char* arguments;
    std::vector<std::string> games;  // as installGames makes them; none: no section names
    std::vector<std::string> boxes;  // the game behind each error box; "" for none
    const char* updated;  // the summary's left column; nullptr for no summary
    const char* failed;   // its right column; nullptr for the narrow layout
    std::string keys;     // pressed on the summary: "escape " first, then how it closes
    const char* shot;
};

}  // namespace

TEST_CASE("vkupdate.exe: the summary decision, both layouts, each way of closing, exit 0")
{
    const std::string ini = windowsDirectory() + "\\VELKORGO.INI";
    int midX = GetSystemMetrics(SM_CXSCREEN) / 2, top = GetSystemMetrics(SM_CYSCREEN) / 2 - 180;
    const Case cases[] = {
        // No section names: the error box, no summary, whatever the switches.
        {"", {}, {""}, nullptr, nullptr, "", nullptr},
        {"-d -s", {}, {""}, nullptr, nullptr, "", nullptr},
        {"", {"irampart", "iduskfall"}, {}, "Rampart Realms\nDuskfall\n", nullptr, "escape ok",
         "summary-narrow.png"},
        {"foo -S", {"irampart"}, {}, nullptr, nullptr, "", nullptr},  // the pass ran, but -s
        {"-s", {"irampart", "iblotball"}, {}, "Rampart Realms\n", "Blotball\n", "enter",
         "summary-wide.png"},
        {"", {"iblotball", "icueshot"}, {}, "All installed applications are up to date!",
         "Blotball\nCue Shot\n", "escape close box", nullptr},
        // -d: a box for each failure while the progress dialog shows the game.
        {"-D", {"irampart", "iblotball", "icueshot"}, {"Blotball", "Cue Shot"}, "Rampart Realms\n",
         "Blotball\nCue Shot\n", "ok", "progress-dialog.png"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        CAPTURE(i);
        // Fresh directories each run: a setup program still ending is never in the way.
        std::string root = "C:\\vkprogram" + std::to_string(i);
        std::string text = installGames(root, c.games);
        removeFile(ini);  // the first run has none, the second one without sections
        REQUIRE((i == 0 || writeBinaryFile(ini, c.games.empty() ? "; none\r\n" : text)));
        PROCESS_INFORMATION run = startUpdater(c.arguments);
        for (const std::string& game : c.boxes) {
            HWND box = waitForWindow(run.hProcess, "Update Velkor Games Error Message");
            REQUIRE(box);
            if (game.empty())  // string 4, about the System Components
                CHECK(textOf(box, 0xFFFF).find("System Components") < 200);
            else {  // the pass waits for the player
                HWND progress = waitForWindow(run.hProcess, "Updating Velkor Games", 0);
                CHECK(textOf(progress, kStatus) == "Updating: " + game);
                CHECK((rectOf(progress).left == 0 && rectOf(progress).top == 0));
                if (c.shot && game == c.boxes[0])
                    screenshot(progress, c.shot);
            }
            pressKey(box, VK_RETURN);
            for (int tries = 0; tries < 200 && IsWindow(box); ++tries)
                Sleep(10);
        }
        HWND summary = waitForWindow(run.hProcess, "Velkor Update Utility");
        CHECK((summary != nullptr) == (c.updated != nullptr));
        if (summary) {
            bool wide = c.failed != nullptr;
            int banner = wide ? kFailureBanner : kSuccessBanner;
            CHECK(placeOf(summary) + ", " + placeOf(summary, banner) + ", " + placeOf(summary, kOk)
                  == std::to_string(midX - (wide ? 280 : 146)) + " " + std::to_string(top)
                         + (wide ? " 560 350, 25 25 510 50, 240 270 80 25"
                                 : " 293 350, 0 25 293 50, 105 280 80 25"));
            CHECK(textOf(summary, kUpdated) == c.updated);
            CHECK(textOf(summary, kFailed) == (wide ? c.failed : "Unsuccessful Updates"));
            CHECK(textOf(summary, kSuccessBanner)
                  == (wide ? "Success" : "Velkor Game Client update has completed successfully!"));
            CHECK((!wide || textOf(summary, kFailureBanner).find("you must redownload") < 200));
            if (c.shot && c.boxes.empty())
                screenshot(summary, c.shot);
            if (c.keys.find("escape") == 0) {
                pressKey(summary, VK_ESCAPE);
                Sleep(500);
                CHECK(IsWindowVisible(summary));
            }
            if (c.keys == "enter")
                pressKey(summary, VK_RETURN);
            else if (c.keys.find("ok") != std::string::npos)
                PostMessageA(summary, WM_COMMAND, kOk, LPARAM(GetDlgItem(summary, kOk)));
            else
                PostMessageA(summary, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        if (!c.updated && !c.games.empty())  // the pass did run: the game is marked
            CHECK(readBinaryFile(root + "\\irampart\\VGOSETUP.INI")
                  == "[irampart]\r\nEXECUTECount=1\r\nStartIn=<current>\r\n");
        DWORD status = 99;
        CHECK(WaitForSingleObject(run.hProcess, 10000) == WAIT_OBJECT_0);
        CHECK((GetExitCodeProcess(run.hProcess, &status) && status == 0));
        TerminateProcess(run.hProcess, 99);  // should it still run
    }
    removeFile(ini);
}

namespace {

bool inside(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right
           && inner.bottom <= outer.bottom;
}

bool apart(const RECT& a, const RECT& b)
{
    return a.right <= b.left || b.right <= a.left || a.bottom <= b.top || b.bottom <= a.top;
}

std::string text(const RECT& r)  // "left,top-right,bottom"
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right)
           + "," + std::to_string(r.bottom);
}

// The dialog's window on the screen and each of these controls in its client area.
std::string report(HWND dialog, const std::vector<int>& ids)
{
    std::string line = "window " + text(rectOf(dialog));
    for (int id : ids)
        line += ", " + std::to_string(id) + " " + text(rectOf(dialog, id));
    return line;
}

// The screen's DPI as programs see it: the test bed's LogPixels.
int screenDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

void shoot(HWND window, const char* name)  // NAME-<dpi>dpi.png
{
    screenshot(window, (std::string(name) + "-" + std::to_string(screenDpi()) + "dpi.png").c_str());
}

// The progress dialog at the top-left corner, all of it on the screen, its
// texts and its bar inside it and apart.
void checkProgress(HWND progress)
{
    const int status = kStatus, bar = 1001, percent = 1002;
    RECT window = rectOf(progress), client, screen = {0, 0, GetSystemMetrics(SM_CXSCREEN),
                                                      GetSystemMetrics(SM_CYSCREEN)};
    GetClientRect(progress, &client);
    INFO("progress: ", report(progress, {status, bar, percent}));
    CHECK((window.left == 0 && window.top == 0 && inside(window, screen)));
    for (int id : {status, bar, percent})
        CHECK(inside(rectOf(progress, id), client));
    CHECK(apart(rectOf(progress, status), rectOf(progress, bar)));
    CHECK(apart(rectOf(progress, status), rectOf(progress, percent)));
    CHECK(apart(rectOf(progress, bar), rectOf(progress, percent)));
}

// What a layout must show: its banner across the top, its group boxes with
// their lists whole, the OK button centred below them, nothing overlapping,
// all inside the window, which is centred on the screen and fits it; the
// other layout's column or banner beyond the client area's right edge.
void checkSummary(HWND summary, bool wide)
{
    const int leftGroup = 0xFFFF;  // the template's one control without an id
    RECT window = rectOf(summary), client, screen = {0, 0, GetSystemMetrics(SM_CXSCREEN),
                                                     GetSystemMetrics(SM_CYSCREEN)};
    GetClientRect(summary, &client);
    int banner = wide ? kFailureBanner : kSuccessBanner;
    std::vector<int> groups = {leftGroup};
    if (wide)
        groups.push_back(kRightGroup);
    RECT ok = rectOf(summary, kOk), bannerRect = rectOf(summary, banner);
    std::string placed = report(summary, {banner, leftGroup, kUpdated, kRightGroup, kFailed, kOk});
    printf("%s layout at %d DPI: %s\n", wide ? "wide" : "narrow", screenDpi(), placed.c_str());
    INFO(placed);

    CHECK(inside(window, screen));
    CHECK(abs(window.left + window.right - screen.right) <= 2);
    CHECK(abs(window.top + window.bottom - screen.bottom) <= (window.bottom - window.top) / 20);
    // The narrow banner, as wide as the window, spans the whole client area
    // and reaches under the frame: its text is centred all the same.
    CHECK((bannerRect.top >= 0 && bannerRect.bottom <= client.bottom));
    CHECK((wide ? inside(bannerRect, client)
                : bannerRect.left == 0 && bannerRect.right >= client.right
                      && bannerRect.right - client.right <= window.right - window.left - client.right));
    CHECK(inside(ok, client));
    CHECK(abs(ok.left + ok.right - client.right) <= client.right / 30);
    CHECK(apart(bannerRect, ok));
    for (int group : groups) {
        RECT box = rectOf(summary, group);
        CAPTURE(group);
        CHECK(inside(box, client));
        CHECK(inside(rectOf(summary, group == leftGroup ? kUpdated : kFailed), box));
        CHECK(apart(box, bannerRect));
        CHECK(ok.top >= box.bottom);
    }
    if (wide)
        CHECK(apart(rectOf(summary, leftGroup), rectOf(summary, kRightGroup)));
    CHECK(rectOf(summary, wide ? kSuccessBanner : kFailureBanner).left >= client.right);
    if (!wide)
        CHECK(rectOf(summary, kRightGroup).left >= client.right);
}

}  // namespace

// Run by the lane at 96 DPI and by dpi.sh in test beds at other DPIs and fonts.
TEST_CASE("vkupdate.exe: each dialog whole at the screen's DPI and font")
{
    const char* expected = getenv("VELKOR_EXPECTED_DPI");
    CHECK(screenDpi() == (expected ? atoi(expected) : 96));
    const std::string ini = windowsDirectory() + "\\VELKORGO.INI";
    for (bool wide : {true, false}) {
        CAPTURE(wide);
        // Wide: a failure, told in a box while the progress dialog waits behind it.
        std::string root = std::string("C:\\vkdpi") + (wide ? "wide" : "narrow");
        std::vector<std::string> games = {"irampart"};
        if (wide)
            games.push_back("iblotball");
        REQUIRE(writeBinaryFile(ini, installGames(root, games)));
        PROCESS_INFORMATION run = startUpdater(wide ? "-d" : "");
        if (wide) {
            HWND box = waitForWindow(run.hProcess, "Update Velkor Games Error Message");
            REQUIRE(box);
            HWND progress = waitForWindow(run.hProcess, "Updating Velkor Games", 0);
            REQUIRE(progress);
            checkProgress(progress);
            shoot(progress, "progress-dialog");
            pressKey(box, VK_RETURN);
        }
        HWND summary = waitForWindow(run.hProcess, "Velkor Update Utility");
        REQUIRE(summary);
        checkSummary(summary, wide);
        shoot(summary, wide ? "summary-wide" : "summary-narrow");
        PostMessageA(summary, WM_COMMAND, kOk, LPARAM(GetDlgItem(summary, kOk)));
        CHECK(WaitForSingleObject(run.hProcess, 10000) == WAIT_OBJECT_0);
        TerminateProcess(run.hProcess, 99);  // should it still run
    }
    removeFile(ini);
}
