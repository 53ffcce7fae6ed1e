// Stream intake time against chunk count for a 4 MiB stream, with the log
// and without: the copying per byte stays flat; what grows with the chunk
// count is the fixed cost of each call (mostly its two unbuffered log lines).
#include <stdio.h>

#include <chrono>

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
            auto start = std::chrono::steady_clock::now();
            // Cut short by the user, so that nothing acts on what was gathered.
            deliverStream(&t.npp, stream, stream.size() / chunks, NPRES_USER_BREAK);
            std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
            printf("%10d %10.2f %10.2f\n", chunks, ms.count(), ms.count() * 1e6 / 4194304.0);
        }
    }
}
