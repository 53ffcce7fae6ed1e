// Reading an HTTP answer's status line, headers and body.
#include <ctype.h>
#include <stdlib.h>

#include "http.h"
#include "post_buffer.h"

void parseHttpAnswer(const std::string& raw, HttpAnswer& answer)
{
    size_t headerEnd = raw.find("\r\n\r\n");
    size_t bodyStart = headerEnd == std::string::npos ? std::string::npos : headerEnd + 4;
    size_t lfEnd = raw.find("\n\n");
    if (lfEnd != std::string::npos && (headerEnd == std::string::npos || lfEnd < headerEnd)) {
        headerEnd = lfEnd;
        bodyStart = lfEnd + 2;
    }
    if (headerEnd == std::string::npos) {
        answer.error = raw.empty() ? "the server closed the connection without answering"
                                   : "the server closed the connection inside the headers";
        return;
    }
    std::string head = raw.substr(0, headerEnd);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= head.size()) {
        size_t end = head.find('\n', start);
        std::string line = head.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    answer.statusLine = lines[0];
    if (answer.statusLine.compare(0, 5, "HTTP/") != 0 || answer.statusLine.size() < 12) {
        answer.error = "not an HTTP status line: " + answer.statusLine;
        return;
    }
    // "HTTP/1.0 200 OK": the code is the three digits after the first blank.
    const std::string& line = answer.statusLine;
    size_t blank = line.find(' ');
    if (blank == std::string::npos) {
        answer.error = "no blank in the HTTP status line: " + line;
        return;
    }
    size_t codeEnd = blank + 4;
    bool threeDigits = codeEnd <= line.size() && (codeEnd == line.size() || line[codeEnd] == ' ');
    for (size_t at = blank + 1; threeDigits && at < codeEnd; at++)
        threeDigits = isdigit((unsigned char)line[at]) != 0;
    if (!threeDigits) {
        answer.error = "the HTTP status code is not three digits: " + line;
        return;
    }
    answer.status = atoi(line.substr(blank + 1, 3).c_str());
    answer.headers.assign(lines.begin() + 1, lines.end());

    answer.contentType = headerValue(answer.headers, "Content-Type");
    size_t parameters = answer.contentType.find(';');
    if (parameters != std::string::npos)
        answer.contentType.erase(parameters);
    while (!answer.contentType.empty() && isspace((unsigned char)answer.contentType.back()))
        answer.contentType.pop_back();

    answer.body = raw.substr(bodyStart);
    bool found = false;
    std::string length = headerValue(answer.headers, "Content-Length", &found);
    if (found) {
        char* end = nullptr;
        long long value = strtoll(length.c_str(), &end, 10);
        if (length.empty() || *end || value < 0) {
            answer.error = "bad Content-Length: " + length;
            return;
        }
        answer.announced = value;
        if ((long long)answer.body.size() < value) {
            answer.cutShort = true;
            answer.error = "the server closed the connection after " + std::to_string(answer.body.size()) +
                           " of " + std::to_string(value) + " bytes";
        } else if ((long long)answer.body.size() > value) {
            answer.body.resize(size_t(value));
        }
    }
}
