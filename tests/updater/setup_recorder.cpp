// Stands in for a game's VGOSETUP.EXE in tests: writes down the command line
// it was started with and how its window was to be shown, in STARTED.TXT
// beside itself, and exits.
#include <stdio.h>
#include <string.h>

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char written[MAX_PATH + 16], report[MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(nullptr, written, MAX_PATH);
    char* slash = strrchr(written, '\\');
    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    if (n == 0 || n >= MAX_PATH || !slash)
        return 1;
    // Written aside and moved into place, so a test never reads half of it.
    strcpy(slash, "\\STARTED.TXT");
    strcpy(report, written);
    strcpy(slash, "\\STARTED.NEW");
    FILE* f = fopen(written, "wb");
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    if (!f || fprintf(f, "%s\nshow %d\n", GetCommandLineA(), show) < 0 || fclose(f) != 0)
        return 1;
    return MoveFileExA(written, report, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
