// cksum_check LIST: prints the fingerprint of every file named in LIST (one
// path a line), or "failed" for a file that has none. The other half of
// cksum_compare.sh, which holds the cksum utility's answers against these.
#include <stdio.h>
#include <string.h>

#include "exchange/fingerprint.h"
#include "exchange/log.h"

int main(int argc, char** argv)
{
    FILE* list = argc == 2 ? fopen(argv[1], "r") : nullptr;
    logFile = fopen("NUL", "w");
    if (!list || !logFile) {
        fprintf(stderr, "usage: cksum_check LIST\n");
        return 2;
    }
    char path[1024], checksum[kChecksumSize];
    while (fgets(path, sizeof path, list)) {
        path[strcspn(path, "\r\n")] = '\0';
        int32_t length = 0;
        puts(CheckSumFile(path, checksum, &length) ? checksum : "failed");
    }
    return 0;
}
