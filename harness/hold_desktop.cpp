// Keeps the test bed's Wine desktop open for the whole run. An empty desktop
// closes a second after its last program exits, and the next program then
// waits up to ten seconds while a new explorer.exe starts and awaits RpcSs.
// With an argument it only starts and ends: the test bed's probe that this
// build's programs run on this machine at all.
#include <windows.h>

int main(int argc, char**)
{
    if (argc > 1)
        return 0;
    // Asking for the desktop window makes this process one of its users.
    if (!GetDesktopWindow())
        return 1;
    for (;;)
        Sleep(INFINITE);
}
