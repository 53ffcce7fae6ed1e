#include "exchange_support.h"

#include <algorithm>

#include <windows.h>

#include "host/instance.h"
#include "wine_files.h"

static std::string reportPath()
{
    return tempDirectory() + "\\vkclient-report.txt";
}

std::string tempDirectory()
{
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    std::string path(dir, n < sizeof dir ? n : 0);
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

static std::string standInPath()
{
    // Built beside the test program.
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self, n < sizeof self ? n : 0);
    return path.substr(0, path.find_last_of("\\/") + 1) + "vkclient.exe";
}

LauncherDir::LauncherDir(const std::string& name, bool withLauncher)
    : path(tempDirectory() + "\\" + name)
{
    CreateDirectoryA(path.c_str(), nullptr);
    if (withLauncher)
        CopyFileA(standInPath().c_str(), (path + "\\vkclient.exe").c_str(), FALSE);
    SetEnvironmentVariableA("VKCLIENT_REPORT", reportPath().c_str());
}

LauncherDir::~LauncherDir()
{
    // The stand-in may still be closing its image; give it a moment.
    for (int i = 0; i < 50; i++) {
        DeleteFileA((path + "\\vkclient.exe").c_str());
        if (RemoveDirectoryA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND)
            break;
        Sleep(20);
    }
}

void expectLaunch()
{
    removeFile(reportPath());
}

LaunchReport waitForLaunch()
{
    LaunchReport report;
    for (int i = 0; i < 200 && !report.arrived; i++) {
        std::vector<std::string> lines = readLines(reportPath());
        if (lines.size() >= 2) {
            report.arrived = true;
            report.commandLine = lines[0];
            report.directory = lines[1];
        } else {
            Sleep(50);
        }
    }
    return report;
}

std::vector<std::string> logBody()
{
    std::vector<std::string> lines = logLines();
    if (!lines.empty())
        lines.erase(lines.begin());
    return lines;
}

bool logHas(const std::string& line)
{
    std::vector<std::string> lines = logLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void openStream(TestInstance& t, const std::string& bytes, size_t chunkSize)
{
    NPStream stream{};
    NPP_NewStream(&t.npp, nullptr, &stream, 0, nullptr);
    for (size_t offset = 0; offset < bytes.size(); offset += chunkSize) {
        std::string chunk = bytes.substr(offset, chunkSize);
        NPP_Write(&t.npp, &stream, int32_t(offset), int32_t(chunk.size()), &chunk[0]);
    }
}
