// The update pass's test bed: real files in the prefix, the stand-in setup
// program, and a catcher for the pass's message boxes.
#include "pass_bed.h"

#include <doctest/doctest.h>

#include <string.h>

#include "updater_test_support.h"
#include "wine_files.h"

const char kGamesRoot[] = "C:\\vkpass";

namespace {

void removeTree(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                removeFile(path);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

std::string standInPath()
{
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    REQUIRE((n > 0 && n < sizeof self));
    std::string path(self, n);
    return path.substr(0, path.rfind('\\') + 1) + "setup_recorder.exe";
}

}  // namespace

PassBed::PassBed() : serviceIni(windowsDirectory() + "\\VELKORGO.INI")
{
    resetRunState();
    removeTree(kGamesRoot);
    REQUIRE(CreateDirectoryA(kGamesRoot, nullptr));
}

PassBed::~PassBed()
{
    removeFile(serviceIni);
    removeTree(kGamesRoot);
}

void PassBed::writeServiceIni(const std::string& text)
{
    REQUIRE(writeBinaryFile(serviceIni, text));
}

std::string PassBed::gameDir(const std::string& name)
{
    std::string dir = std::string(kGamesRoot) + "\\" + name;
    size_t at = strlen(kGamesRoot) + 1;
    while ((at = dir.find('\\', at)) != std::string::npos)
        CreateDirectoryA(dir.substr(0, at++).c_str(), nullptr);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void PassBed::installStandIn(const std::string& dir)
{
    REQUIRE(CopyFileA(standInPath().c_str(), (dir + "\\VGOSETUP.EXE").c_str(), FALSE));
}

StartReport startReport(const std::string& dir)
{
    StartReport report;
    std::vector<std::string> lines = readLines(dir + "\\STARTED.TXT");
    if (lines.size() >= 2 && lines[1].compare(0, 5, "show ") == 0) {
        report.started = true;
        report.commandLine = lines[0];
        report.show = atoi(lines[1].c_str() + 5);
    }
    return report;
}

StartReport waitForStart(const std::string& dir)
{
    for (int waited = 0; waited < 10000; waited += 50) {
        StartReport report = startReport(dir);
        if (report.started)
            return report;
        Sleep(50);
    }
    return StartReport();
}

bool fileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isReadOnly(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

void setReadOnly(const std::string& path)
{
    REQUIRE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
}

std::string iniText(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

namespace {

MessageBoxCatcher* catcher;
HHOOK cbtHook;

std::string windowText(HWND window)
{
    char text[1024];
    int n = GetWindowTextA(window, text, sizeof text);
    return std::string(text, n > 0 ? n : 0);
}

LRESULT CALLBACK watchActivations(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && catcher) {
        HWND window = reinterpret_cast<HWND>(wParam);
        HWND textControl = GetDlgItem(window, 0xFFFF);  // a message box's text
        if (textControl) {
            HWND owner = GetWindow(window, GW_OWNER);
            catcher->boxes.push_back({windowText(window), windowText(textControl), owner, windowText(owner)});
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(cbtHook, code, wParam, lParam);
}

}  // namespace

MessageBoxCatcher::MessageBoxCatcher()
{
    catcher = this;
    cbtHook = SetWindowsHookExA(WH_CBT, watchActivations, nullptr, GetCurrentThreadId());
    REQUIRE(cbtHook);
}

MessageBoxCatcher::~MessageBoxCatcher()
{
    UnhookWindowsHookEx(cbtHook);
    catcher = nullptr;
}

