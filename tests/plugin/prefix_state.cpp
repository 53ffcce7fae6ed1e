#include "prefix_state.h"

#include <windows.h>

#include "wine_files.h"

static const char kService[] = "Software\\Velkor Games Online";
static const char kSaved[] = "Software\\Velkor Games Online (kept aside by a test)";
static const char kKey[] = "Software\\Velkor Games Online\\Velkor System Components";

// Copies the tree at from to to, then deletes it; false when there is none.
static bool moveKey(const char* from, const char* to)
{
    HKEY source, target;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, from, 0, KEY_READ, &source) != ERROR_SUCCESS)
        return false;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target,
                        nullptr) == ERROR_SUCCESS) {
        RegCopyTreeA(source, nullptr, target);
        RegCloseKey(target);
    }
    RegCloseKey(source);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, from);
    return true;
}

ComponentsKeyGuard::ComponentsKeyGuard() : hadKey(moveKey(kService, kSaved)) {}

ComponentsKeyGuard::~ComponentsKeyGuard()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kService);
    if (hadKey)
        moveKey(kSaved, kService);
}

void ComponentsKeyGuard::remove()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
}

void ComponentsKeyGuard::setValue(const char* name, const std::string& bytes, unsigned long type)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   DWORD(bytes.size()));
    RegCloseKey(key);
}

void ComponentsKeyGuard::setString(const char* name, const std::string& text)
{
    setValue(name, std::string(text.c_str(), text.size() + 1), REG_SZ);
}

ServiceIniGuard::ServiceIniGuard()
    : path(windowsDirectory() + "\\velkorgo.ini"), savedBytes(readBinaryFile(path)),
      hadFile(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
{
    remove();
}

ServiceIniGuard::~ServiceIniGuard()
{
    write(hadFile ? savedBytes : "");
}

// The profile reader may keep a file it has read; an all-null write makes it
// forget, so the next read sees the file as it is now.
void ServiceIniGuard::write(const std::string& text)
{
    if (text.empty())
        removeFile(path);
    else
        writeBinaryFile(path, text);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "velkorgo.ini");
}
