// Stream intake time against chunk count, for a fixed stream size: with the
// block growing geometrically the copying per byte stays flat, and what grows
// with the chunk count is only the fixed cost of each call (mostly its two
// unbuffered log lines). Run once with the log and once without.
#include <stdio.h>

#include <string>

#include <windows.h>

#include "exchange/log.h"
#include "fake_browser.h"
#include "host/instance.h"

static void run(bool withLog)
{
    const int streamSize = 4 * 1024 * 1024;
    printf("\n4 MiB stream, %s\n", withLog ? "log on" : "log off");
    printf("%10s %12s %10s %10s %10s\n", "chunks", "chunk bytes", "ms", "ns/byte", "us/chunk");
    for (int chunks = 16; chunks <= 262144; chunks *= 4) {
        int chunkSize = streamSize / chunks;
        std::string chunk(size_t(chunkSize), 'x');
        installFakeBrowser();
        TestInstance t;
        if (!withLog) {
            fclose(logFile);
            logFile = nullptr;
        }
        LARGE_INTEGER freq, start, end;
        QueryPerformanceFrequency(&freq);
        QueryPerformanceCounter(&start);
        NPP_NewStream(&t.npp, nullptr, nullptr, 0, nullptr);
        for (int i = 0; i < chunks; i++)
            NPP_Write(&t.npp, nullptr, i * chunkSize, chunkSize, &chunk[0]);
        QueryPerformanceCounter(&end);
        double ms = double(end.QuadPart - start.QuadPart) * 1000.0 / double(freq.QuadPart);
        printf("%10d %12d %10.2f %10.2f %10.3f\n", chunks, chunkSize, ms, ms * 1e6 / streamSize,
               ms * 1e3 / chunks);
    }
}

int main()
{
    run(true);
    run(false);
    return 0;
}
