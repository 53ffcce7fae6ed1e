// Stream intake time against chunk count for a 4 MiB stream, with the log
// and without: the copying per byte stays flat; what grows with the chunk
// count is the fixed cost of each call (mostly its two unbuffered log lines).
#include <stdio.h>

#include <windows.h>

#include "exchange/log.h"
#include "fake_browser.h"

int main()
{
    const std::string stream(4 << 20, 'x');
    for (bool withLog : {true, false}) {
        printf("\nlog %s\n%10s %10s %10s\n", withLog ? "on" : "off", "chunks", "ms", "ns/byte");
        for (int chunks = 16; chunks <= 262144; chunks *= 4) {
            installFakeBrowser();
            TestInstance t;
            if (!withLog)
                fclose(logFile), logFile = nullptr;
            LARGE_INTEGER freq, start, end;
            QueryPerformanceFrequency(&freq);
            QueryPerformanceCounter(&start);
            // Cut short by the user, so that nothing acts on what was gathered.
            deliverStream(&t.npp, stream, stream.size() / chunks, NPRES_USER_BREAK);
            QueryPerformanceCounter(&end);
            double ms = double(end.QuadPart - start.QuadPart) * 1e3 / double(freq.QuadPart);
            printf("%10d %10.2f %10.2f\n", chunks, ms, ms * 1e6 / double(stream.size()));
        }
    }
}
