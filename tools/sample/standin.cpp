// A stand-in for the service's programs (the client launcher vkclient.exe,
// a game's VGOSETUP.EXE), in the sample installation and in the tests. It
// appends one line to "started.txt" beside itself, saying which program
// ran, in which directory, how its window was to be shown and with which
// command line, and ends at once. Windowed, so starting it with a new
// console opens none.
#include <windows.h>

#include <stdio.h>
#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show)
{
    char program[MAX_PATH] = "";
    char directory[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    GetCurrentDirectoryA(sizeof directory, directory);
    char* name = strrchr(program, '\\');
    if (!name)
        return 1;
    *name++ = '\0';

    // One write: a reader waiting for the file sees the whole line or none.
    // The command line comes last, as it may hold any text.
    static char line[2 * MAX_PATH + 32768 + 64];
    int length = snprintf(line, sizeof line, "%s started in %s, shown %d, with command line: %s\r\n",
                          name, directory, show, GetCommandLineA());
    if (length < 0 || size_t(length) >= sizeof line)
        return 1;
    char record[MAX_PATH + 16];
    snprintf(record, sizeof record, "%s\\started.txt", program);
    HANDLE file = CreateFileA(record, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool whole = file != INVALID_HANDLE_VALUE && WriteFile(file, line, DWORD(length), &written, nullptr)
                 && written == DWORD(length);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return whole ? 0 : 1;
}
