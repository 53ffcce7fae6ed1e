// Sets up the prefix's service state and reads back the stand-in's report.
#include "prefix_state.h"

#include <windows.h>

#include <regex>

#include "wine_files.h"

static const char kService[] = "Software\\Velkor Games Online";
static const char kKey[] = "Software\\Velkor Games Online\\Velkor System Components";

static const char kPluginKey[] = "Software\\Velkor Games Online\\Versioning Plug-in";

static void storeValue(const char* key, const char* name, const std::string& bytes, DWORD type)
{
    DWORD size = DWORD(bytes.size() + (type == REG_SZ));
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, name, type, bytes.c_str(), size);
}

void InstalledService::removeKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey); }

void InstalledService::setValue(const char* name, const std::string& bytes, unsigned long type)
{
    storeValue(kKey, name, bytes, type);
}

// HKLM\Software as programs of the other width see it.
static HKEY openOtherSoftware()
{
    HKEY software = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0,
                  KEY_ALL_ACCESS | (sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY), &software);
    return software;
}

void InstalledService::trustAnyServer()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPluginKey);
    if (HKEY software = openOtherSoftware()) {
        RegDeleteTreeA(software, "Velkor Games Online\\Versioning Plug-in");
        RegDeleteKeyA(software, "Velkor Games Online");  // only when nothing else is under it
        RegCloseKey(software);
    }
}

void InstalledService::trustServersInOtherView(const std::string& text)
{
    if (HKEY software = openOtherSoftware()) {
        RegSetKeyValueA(software, "Velkor Games Online\\Versioning Plug-in", "TrustedServers",
                        REG_SZ, text.c_str(), DWORD(text.size() + 1));
        RegCloseKey(software);
    }
}

void InstalledService::trustNoValue()
{
    trustAnyServer();
    HKEY key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kPluginKey, &key) == ERROR_SUCCESS)
        RegCloseKey(key);
}

void InstalledService::trustServers(const std::string& bytes, unsigned long type)
{
    trustAnyServer();
    storeValue(kPluginKey, "TrustedServers", bytes, type);
}

// The profile reader may keep a file it has read; an all-null write makes it
// forget, so the next read sees the file as it is now.
void InstalledService::writeIni(const std::string& text)
{
    if (text.empty())
        removeFile(iniPath);
    else
        writeBinaryFile(iniPath, text);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "velkorgo.ini");
}

static const char kReport[] = "C:\\vk system\\started.txt";  // the stand-in's record
static const std::string kSystem = "C:\\vk system", kGame = "C:\\vk game";
static const char* const kFiles[] = {"C:\\vk system\\vkclient.exe", "C:\\vk game\\a.exe",
                                     "C:\\vk game\\b dat", "C:\\vk game\\empty.dat", kReport};

InstalledService::InstalledService() : iniPath(windowsDirectory() + "\\velkorgo.ini")
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kService);
    setValue("SystemPath", kSystem);
    setValue("PlugInPath", "C:\\vkplugins");
    trustServers(kTestServer);
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
    removeFile(kReport);
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
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kService);
    trustAnyServer();
    writeIni("");
}

Lines waitForLaunch()
{
    Lines lines;
    for (int i = 0; i < 200 && (lines = readLines(kReport)).empty(); i++)
        Sleep(50);
    removeFile(kReport);
    std::smatch m;
    static const std::regex record("vkclient\\.exe started in (.*?), shown -?[0-9]+, "
                                   "with command line: (.*)");
    return lines.size() == 1 && std::regex_match(lines[0], m, record) ? Lines{m[2], m[1]} : lines;
}
