// Sets up and reads back the prefix's service state, launcher and log.
#include "prefix_state.h"

#include <windows.h>

#include "wine_files.h"

static const char kService[] = "Software\\Velkor Games Online";
static const char kKey[] = "Software\\Velkor Games Online\\Velkor System Components";

ServiceGuard::ServiceGuard() : iniPath(windowsDirectory() + "\\velkorgo.ini")
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kService);
    writeIni("");
}

ServiceGuard::~ServiceGuard()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kService);
    writeIni("");
}

void ServiceGuard::removeKey()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
}

void ServiceGuard::setValue(const char* name, const std::string& bytes, unsigned long type)
{
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, kKey, name, type, bytes.data(), DWORD(bytes.size()));
}

void ServiceGuard::setString(const char* name, const std::string& text)
{
    setValue(name, std::string(text.c_str(), text.size() + 1), REG_SZ);
}

// The profile reader may keep a file it has read; an all-null write makes it
// forget, so the next read sees the file as it is now.
void ServiceGuard::writeIni(const std::string& text)
{
    if (text.empty())
        removeFile(iniPath);
    else
        writeBinaryFile(iniPath, text);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "velkorgo.ini");
}

static const char kReport[] = "C:\\vkclient-report.txt";
static const std::string kSystem = "C:\\vk system", kGame = "C:\\vk game";
static const char* const kFiles[] = {"C:\\vk system\\vkclient.exe", "C:\\vk game\\a.exe",
                                     "C:\\vk game\\b dat", "C:\\vk game\\empty.dat"};

InstalledService::InstalledService()
{
    setString("SystemPath", kSystem);
    setString("PlugInPath", "C:\\vkplugins");
    writeIni("[iTestGame]\r\nStartIn=" + kGame +
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
