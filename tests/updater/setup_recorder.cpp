// Stands in for a game's VGOSETUP.EXE in tests: writes the command line it was
// started with and how its window was to be shown in STARTED.TXT beside itself.
#include <stdio.h>
#include <string.h>

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char report[MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(nullptr, report, MAX_PATH);
    char* slash = strrchr(report, '\\');
    if (n == 0 || n >= MAX_PATH || !slash)
        return 1;
    strcpy(slash, "\\STARTED.TXT");
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    FILE* f = fopen(report, "wb");  // written at fclose in one go: a reader sees none or all
    return f && fprintf(f, "%s\nshow %d\n", GetCommandLineA(), show) > 0 && fclose(f) == 0 ? 0 : 1;
}
