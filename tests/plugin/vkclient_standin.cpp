// Stands in for the service's client launcher in tests: it writes down the
// command line and working directory it was started with, in the file
// named by VKCLIENT_REPORT (inherited from the test), and exits.
#include <stdio.h>

#include <windows.h>

int main()
{
    char report[MAX_PATH], partial[MAX_PATH + 4], directory[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("VKCLIENT_REPORT", report, sizeof report);
    DWORD d = GetCurrentDirectoryA(sizeof directory, directory);
    if (n == 0 || n >= sizeof report || d == 0 || d >= sizeof directory)
        return 1;
    // Written aside and moved into place, so the test never reads half of it.
    snprintf(partial, sizeof partial, "%s.new", report);
    FILE* f = fopen(partial, "wb");
    if (!f || fprintf(f, "%s\n%s\n", GetCommandLineA(), directory) < 0 || fclose(f) != 0)
        return 1;
    return MoveFileExA(partial, report, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
