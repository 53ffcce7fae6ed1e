// Linked into NPvkchk.dll only, so that it carries no TLS directory: Windows
// 95 refuses to load a DLL with static TLS (LoadLibrary fails with 1114).
// The runtime's DLL start-up asks for this pointer and calls it, when it is
// not null, to set up thread-local data; its own definition comes with the
// runtime's TLS support (tlssup.o), which adds the TLS directory and two TLS
// callbacks. The plug-in has no thread-local data, so null will do. Code
// that adds some pulls tlssup.o back, and the link fails on this name twice.
#include <windows.h>

extern "C" const PIMAGE_TLS_CALLBACK __dyn_tls_init_callback = nullptr;
