// Stands in for a game's VGOSETUP.EXE in the program tests: a real program
// that the update pass can open and start, and that ends at once.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
