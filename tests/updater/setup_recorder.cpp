// Stands in for a game's VGOSETUP.EXE in tests: it writes down the command
// line it was started with and how its window was to be shown, in
// STARTED.TXT beside itself, and exits.
#include <stdio.h>
#include <string.h>

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char report[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, report, sizeof report);
    if (n == 0 || n >= sizeof report)
        return 1;
    char* slash = strrchr(report, '\\');
    if (!slash || size_t(slash - report) + sizeof "\\STARTED.TXT" > sizeof report)
        return 1;
    strcpy(slash, "\\STARTED.TXT");

    STARTUPINFOA startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;

    // Written aside and moved into place, so the test never reads half of it.
    char partial[MAX_PATH + 4];
    snprintf(partial, sizeof partial, "%s.new", report);
    FILE* f = fopen(partial, "wb");
    if (!f)
        return 1;
    fprintf(f, "%s\nshow %d\n", GetCommandLineA(), show);
    if (fclose(f) != 0)
        return 1;
    return MoveFileExA(partial, report, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
