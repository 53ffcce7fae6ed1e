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

struct Case {
    const char* arguments;
    std::vector<std::string> games;  // none: no section names; irampart and iduskfall
                                     // install, iblotball lacks StartIn, icueshot its INI
    std::vector<std::string> boxes;  // the game behind each error box; "" for none
    const char* updated;  // the summary's left column; nullptr for no summary
    const char* failed;   // its right column; nullptr for the narrow layout
    std::string keys;     // pressed on the summary: "escape " first, then how it closes
    const char* shot;
    int otherSections = 0;  // sections that are no games, before the games
};

}  // namespace

TEST_CASE("vkupdate.exe: the summary decision, both layouts, each way of closing, exit 0")
{
    const std::string ini = windowsDirectory() + "\\VELKORGO.INI";
    const std::string program = fromEnv("VELKOR_UPDATER_EXE"),
                      standIn = fromEnv("VELKOR_SETUP_STANDIN");
    // A name one past the 127 characters the pass holds: it fails as a wrong entry section does.
    const std::string longGame = "i" + std::string(127, 'z'), longTitle = longGame.substr(0, 79),
                      longFailed = longTitle + "\n";
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
        // A long INI file: its section list is read whole, far past 4096 characters.
        {"-d", {longGame, "itunnelrun"}, {longTitle}, "Tunnel Runner Online\n",
         longFailed.c_str(), "ok", nullptr, 499},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Case& c = cases[i];
        CAPTURE(i);
        // Fresh directories each run: a setup program still ending is never in the way.
        std::string root = "C:\\vkprogram" + std::to_string(i), text = "[Velkor]\r\nVersion=1\r\n";
        for (int n = 0; n < c.otherSections; ++n)
            text += "[Velkor news " + std::to_string(n) + "]\r\nSeen=1\r\n";
        CreateDirectoryA(root.c_str(), nullptr);
        for (const std::string& name : c.games) {
            std::string dir = root + "\\" + name;
            CreateDirectoryA(dir.c_str(), nullptr);
            text += "[" + name + "]\r\nEXECUTECount=1\r\n[0 " + name + "]\r\n"
                    + (name == "iblotball" ? "" : "StartIn=" + dir + "\r\n");
            if (name != "icueshot")
                REQUIRE(writeBinaryFile(dir + "\\VGOSETUP.INI",
                                        "[" + name + "]\r\nEXECUTECount=1\r\n"));
            REQUIRE(CopyFileA(standIn.c_str(), (dir + "\\VGOSETUP.EXE").c_str(), 0));
        }
        removeFile(ini);  // the first run has none, the second one without sections
        REQUIRE((i == 0 || writeBinaryFile(ini, c.games.empty() ? "; none\r\n" : text)));

        std::string line = "\"" + program + "\" " + c.arguments;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION run{};
        REQUIRE(CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &run));
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
            RECT client;  // the window's width alone shows or hides the right-hand column
            GetClientRect(summary, &client);
            CHECK((wide ? rectOf(summary, kRightGroup).right <= client.right
                        : rectOf(summary, kRightGroup).left >= client.right));
            CHECK(rectOf(summary, wide ? kSuccessBanner : kFailureBanner).left >= client.right);
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
