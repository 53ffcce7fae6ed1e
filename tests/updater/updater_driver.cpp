// The driver behind the program tests. Reads go through messages, because
// GetWindowText does not fetch the text of another program's controls, and
// clicks are posted as the command a button sends, because BM_CLICK needs
// the clicking thread's own input state.
#include "updater_driver.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

std::string windowsPathOf(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string testPath(const char* variable)
{
    const char* value = getenv(variable);
    return value ? windowsPathOf(value) : std::string();
}

UpdaterRun::~UpdaterRun()
{
    if (!process.hProcess)
        return;
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

bool startUpdater(UpdaterRun& run, const std::string& arguments)
{
    std::string program = testPath("VELKOR_UPDATER_EXE");
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &run.process))
        return true;
    fprintf(stderr, "cannot start %s: error %lu\n", program.c_str(), GetLastError());
    return false;
}

bool isRunning(const UpdaterRun& run)
{
    return WaitForSingleObject(run.process.hProcess, 0) == WAIT_TIMEOUT;
}

namespace {

struct Search {
    DWORD processId;
    const char* caption;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM param)
{
    Search* search = reinterpret_cast<Search*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window))
        return TRUE;
    if (windowText(window) != search->caption)
        return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND waitForDialog(const UpdaterRun& run, const char* caption, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        Search search{run.process.dwProcessId, caption, nullptr};
        EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            // Visible means laid out; let it finish painting before anyone
            // looks at it.
            WaitForInputIdle(run.process.hProcess, 2000);
            Sleep(100);
            return search.found;
        }
        if (!isRunning(run) || GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(10);
    }
}

long waitForExit(UpdaterRun& run, DWORD timeoutMs)
{
    if (WaitForSingleObject(run.process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(run.process.hProcess, 99);
        WaitForSingleObject(run.process.hProcess, 5000);
        return -1;
    }
    DWORD status = 0;
    GetExitCodeProcess(run.process.hProcess, &status);
    return long(status);
}

std::string windowText(HWND window)
{
    char text[8192];
    text[0] = '\0';
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return "<no answer>";
    return std::string(text, copied < sizeof text ? copied : 0);
}

DialogView viewDialog(HWND dialog)
{
    DialogView view{};
    GetWindowRect(dialog, &view.window);
    RECT client;
    GetClientRect(dialog, &client);
    view.client = {client.right, client.bottom};
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        ControlView control;
        control.text = windowText(child);
        GetWindowRect(child, &control.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&control.rect), 2);
        view.controls[GetDlgCtrlID(child)] = control;
    }
    return view;
}

bool pressKey(HWND dialog, WORD virtualKey)
{
    // Keys go to the active window, as they would for a player.
    for (int tries = 0; GetForegroundWindow() != dialog; ++tries) {
        if (tries == 200)
            return false;
        Sleep(10);
    }
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = virtualKey;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, keys, sizeof keys[0]) == 2;
}

void clickButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void pressCloseBox(HWND dialog)
{
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool screenshot(HWND window, const std::string& name)
{
    const char* dir = getenv("VELKOR_SCREENSHOT_DIR");
    if (!dir)
        return false;
    std::string unixFile = std::string(dir) + "/" + name;
    std::string file = windowsPathOf(unixFile);
    CreateDirectoryA(windowsPathOf(dir).c_str(), nullptr);
    DeleteFileA(file.c_str());

    RECT r;
    GetWindowRect(window, &r);
    // A Unix command line: Wine starts programs that are not Windows
    // programs as they are, without a handle to wait on, so the picture is
    // written under another name and renamed when complete.
    char command[1024];
    snprintf(command, sizeof command,
             "/bin/sh -c \"xwd -root -silent -display $DISPLAY | convert xwd:- -crop %ldx%ld+%ld+%ld"
             " +repage png:'%s.part' && mv '%s.part' '%s'\"",
             r.right - r.left, r.bottom - r.top, r.left, r.top, unixFile.c_str(), unixFile.c_str(),
             unixFile.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    for (int tries = 0; tries < 500; ++tries) {
        if (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(20);
    }
    return false;
}
