// cksum_check LIST LOG: prints the fingerprint of every file named in LIST
// (one path a line), or "failed: " and the last log line for a file that
// has none. The other half of cksum_compare.sh, which holds the answers of
// the cksum utility against these lines.
#include <stdio.h>
#include <string.h>

#include <string>

#include "exchange/fingerprint.h"
#include "exchange/log.h"

// The last line written to the log since offset.
static std::string lastLogLine(long offset)
{
    std::string last;
    fseek(logFile, offset, SEEK_SET);
    char line[1024];
    while (fgets(line, sizeof line, logFile)) {
        line[strcspn(line, "\r\n")] = '\0';
        if (line[0])
            last = line;
    }
    fseek(logFile, 0, SEEK_END);
    return last;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: cksum_check LIST LOG\n");
        return 2;
    }
    FILE* list = fopen(argv[1], "r");
    logFile = fopen(argv[2], "w+");
    if (!list || !logFile) {
        fprintf(stderr, "cksum_check: cannot open %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    setvbuf(logFile, nullptr, _IONBF, 0);

    char path[1024];
    while (fgets(path, sizeof path, list)) {
        path[strcspn(path, "\r\n")] = '\0';
        long offset = ftell(logFile);
        char checksum[kChecksumSize];
        int32_t length = 0;
        if (CheckSumFile(path, checksum, &length))
            printf("%s\n", checksum);
        else
            printf("failed: %s\n", lastLogLine(offset).c_str());
    }
    fclose(list);
    return 0;
}
