// Drives the real vkupdate.exe from outside, as a player would: starts it,
// finds its dialogs by caption, reads their controls, presses keys and
// buttons, and photographs the screen.
#pragma once

#include <windows.h>

#include <map>
#include <string>

// A path given by the test bed as a Unix path, as Wine sees it (Z:).
std::string windowsPathOf(const std::string& unixPath);

// A directory or file named by an environment variable of the test.
std::string testPath(const char* variable);

// One run of vkupdate.exe. Ending it early (a failed check) kills it, so no
// run outlives its test.
struct UpdaterRun {
    PROCESS_INFORMATION process{};
    UpdaterRun() = default;
    UpdaterRun(const UpdaterRun&) = delete;
    UpdaterRun& operator=(const UpdaterRun&) = delete;
    ~UpdaterRun();
};

// Starts "vkupdate.exe arguments"; false when it could not start.
bool startUpdater(UpdaterRun& run, const std::string& arguments);

// A visible top-level window of the run with this caption, or null when the
// run ends or the time is up first.
HWND waitForDialog(const UpdaterRun& run, const char* caption, DWORD timeoutMs = 10000);

// Waits for the run to end; its exit status, or -1 when it is still running
// after the time (it is then killed).
long waitForExit(UpdaterRun& run, DWORD timeoutMs = 10000);

// Whether the run is still going.
bool isRunning(const UpdaterRun& run);

// A window's own text, read across processes.
std::string windowText(HWND window);

// A dialog's controls as the player sees them: rectangles in the dialog's
// client coordinates.
struct ControlView {
    std::string text;
    RECT rect;
};
struct DialogView {
    RECT window;      // screen coordinates
    SIZE client;
    std::map<int, ControlView> controls;  // by control id
};
DialogView viewDialog(HWND dialog);

// Presses a key on the keyboard for the dialog, once it is the active
// window; false if it never became active.
bool pressKey(HWND dialog, WORD virtualKey);

// Clicks a button the way the button itself reports a click.
void clickButton(HWND dialog, int id);

// The close box: the system menu's Close command.
void pressCloseBox(HWND dialog);

// Saves the screen area of a window as a PNG in the screenshot directory;
// false if no picture appeared.
bool screenshot(HWND window, const std::string& name);
