// Stands in for the service's client launcher in tests: it writes down the
// command line and working directory it was started with, in the file
// named by VKCLIENT_REPORT (inherited from the test), and exits.
#include <stdio.h>

#include <windows.h>

int main()
{
    char report[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("VKCLIENT_REPORT", report, sizeof report);
    if (n == 0 || n >= sizeof report - 4)
        return 1;
    char directory[MAX_PATH];
    DWORD d = GetCurrentDirectoryA(sizeof directory, directory);
    if (d == 0 || d >= sizeof directory)
        return 1;

    // Written aside and moved into place, so the test never reads half of it.
    char partial[MAX_PATH];
    snprintf(partial, sizeof partial, "%s.new", report);
    FILE* f = fopen(partial, "wb");
    if (!f)
        return 1;
    fprintf(f, "%s\n%s\n", GetCommandLineA(), directory);
    if (fclose(f) != 0)
        return 1;
    return MoveFileExA(partial, report, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
