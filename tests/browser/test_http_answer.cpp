// Reading HTTP answers, complete and cut short.
#include <doctest/doctest.h>

#include "http.h"

TEST_CASE("a complete answer gives status, type and body")
{
    HttpAnswer answer;
    parseHttpAnswer("HTTP/1.0 200 OK\r\nContent-Type: application/x-velkor-versioning; q=1\r\n"
                    "Content-Length: 5\r\n\r\nab\ncdEXTRA",
                    answer);
    CHECK(answer.error.empty());
    CHECK(answer.status == 200);
    CHECK(answer.contentType == "application/x-velkor-versioning");
    CHECK(answer.announced == 5);
    CHECK(answer.body == "ab\ncd");  // bytes past Content-Length are not content
    CHECK_FALSE(answer.cutShort);
}

TEST_CASE("an answer shorter than announced is cut short, and what came is kept")
{
    HttpAnswer answer;
    parseHttpAnswer("HTTP/1.0 200 OK\r\nContent-Length: 80\r\n\r\nirampart;rampart.ex", answer);
    CHECK(answer.status == 200);
    CHECK(answer.cutShort);
    CHECK(answer.body == "irampart;rampart.ex");
    CHECK(answer.error == "the server closed the connection after 19 of 80 bytes");
}

TEST_CASE("answers that cannot be used say why")
{
    struct Case {
        const char* raw;
        const char* error;
    };
    const Case cases[] = {
        {"", "the server closed the connection without answering"},
        {"HTTP/1.0 200 OK\r\nContent-Le", "the server closed the connection inside the headers"},
        {"SSH-2.0-OpenSSH\r\n\r\n", "not an HTTP status line: SSH-2.0-OpenSSH"},
        {"HTTP/1.0 200 OK\r\nContent-Length: -3\r\n\r\n", "bad Content-Length: -3"},
    };
    for (const Case& c : cases) {
        CAPTURE(c.raw);
        HttpAnswer answer;
        parseHttpAnswer(c.raw, answer);
        CHECK(answer.error == c.error);
    }
}

TEST_CASE("without Content-Length the body runs to the end; LF-only headers are read")
{
    HttpAnswer answer;
    parseHttpAnswer("HTTP/1.0 400 Bad Request\nContent-Type: text/plain\n\nmalformed report\n", answer);
    CHECK(answer.error.empty());
    CHECK(answer.status == 400);
    CHECK(answer.announced == -1);
    CHECK(answer.body == "malformed report\n");
}
