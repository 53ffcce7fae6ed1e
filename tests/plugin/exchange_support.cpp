#include "exchange_support.h"

#include <algorithm>

#include <windows.h>

#include "wine_files.h"

static const char kReport[] = "C:\\vkclient-report.txt";
static const std::string kSystem = "C:\\vk system", kGame = "C:\\vk game";
static const char* const kFiles[] = {"C:\\vk system\\vkclient.exe", "C:\\vk game\\a.exe",
                                     "C:\\vk game\\b dat", "C:\\vk game\\empty.dat"};

InstalledService::InstalledService()
{
    key.setString("SystemPath", kSystem);
    key.setString("PlugInPath", "C:\\vkplugins");
    ini.write("[iTestGame]\r\nStartIn=" + kGame +
              "\r\n[iNoStart]\r\nEXECUTECount=1\r\n[iEmptyStart]\r\nStartIn=\r\n");
    CreateDirectoryA(kSystem.c_str(), nullptr);
    CreateDirectoryA(kGame.c_str(), nullptr);
    // The stand-in is built beside the test program.
    char self[MAX_PATH];
    std::string standIn(self, GetModuleFileNameA(nullptr, self, sizeof self));
    standIn = standIn.substr(0, standIn.rfind('\\') + 1) + "vkclient.exe";
    CopyFileA(standIn.c_str(), kFiles[0], FALSE);
    writeBinaryFile(kFiles[1], "abc");
    writeBinaryFile(kFiles[2], std::string(2000, 'a'));
    writeBinaryFile(kFiles[3], "");
    SetEnvironmentVariableA("VKCLIENT_REPORT", kReport);
}

InstalledService::~InstalledService()
{
    // A launched stand-in may still be closing its image; give it a moment.
    for (int i = 0; i < 50 && !DeleteFileA(kFiles[0]); i++)
        Sleep(20);
    for (const char* file : kFiles)
        removeFile(file);
    RemoveDirectoryA(kSystem.c_str());
    RemoveDirectoryA(kGame.c_str());
}

Lines waitForLaunch()
{
    for (int i = 0; i < 200; i++) {
        Lines lines = readLines(kReport);
        if (lines.size() >= 2) {
            removeFile(kReport);
            return lines;
        }
        Sleep(50);
    }
    return {};
}

Lines logBody()
{
    Lines lines = logLines();
    return lines.empty() ? lines : Lines(lines.begin() + 1, lines.end());
}

Lines lastLines(size_t n)
{
    Lines lines = logLines();
    return Lines(lines.end() - long(std::min(n, lines.size())), lines.end());
}
