#include "prefix_state.h"

#include <windows.h>

#include "wine_files.h"

static const char kParent[] = "Software\\Velkor Games Online";
static const char kKey[] = "Software\\Velkor Games Online\\Velkor System Components";

static bool keyExists(const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

ComponentsKeyGuard::ComponentsKeyGuard()
{
    hadParent = keyExists(kParent);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        hadKey = true;
        for (DWORD i = 0;; i++) {
            char name[256];
            DWORD nameSize = sizeof name;
            BYTE data[4096];
            DWORD dataSize = sizeof data;
            DWORD type;
            if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) !=
                ERROR_SUCCESS)
                break;
            saved.push_back({name, type, std::string(reinterpret_cast<char*>(data), dataSize)});
        }
        RegCloseKey(key);
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
}

ComponentsKeyGuard::~ComponentsKeyGuard()
{
    remove();
    if (!hadParent)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kParent);
    if (hadKey) {
        create();
        for (const Value& v : saved)
            setValue(v.name.c_str(), v.bytes, v.type);
    }
}

void ComponentsKeyGuard::remove()
{
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
}

void ComponentsKeyGuard::create()
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

void ComponentsKeyGuard::setValue(const char* name, const std::string& bytes, unsigned long type)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

void ComponentsKeyGuard::setString(const char* name, const std::string& text)
{
    setValue(name, std::string(text.c_str(), text.size() + 1), REG_SZ);
}

// The profile reader may keep a file it has read; an all-null write makes it
// forget, so the next read sees the file as it is now.
static void forgetCachedProfile()
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "velkorgo.ini");
}

ServiceIniGuard::ServiceIniGuard() : path(windowsDirectory() + "\\velkorgo.ini")
{
    hadFile = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (hadFile)
        savedBytes = readBinaryFile(path);
    remove();
}

ServiceIniGuard::~ServiceIniGuard()
{
    remove();
    if (hadFile)
        write(savedBytes);
}

void ServiceIniGuard::write(const std::string& text)
{
    writeBinaryFile(path, text);
    forgetCachedProfile();
}

void ServiceIniGuard::remove()
{
    removeFile(path);
    forgetCachedProfile();
}
