// What an operator's odd server or page can hand the browser stand-in, and
// the exchanges on loopback never do: it must refuse or bound it, not crash.
#include <doctest/doctest.h>

#include "http.h"
#include "url.h"

TEST_CASE("odd addresses and HTTP answers are refused or bounded")
{
    CHECK(resolveUrl("http://h/a/page.html", "../../../x") == "http://h/x");  // not above root
    CHECK(resolveUrl("ftp://h/a/", "x").empty());
    HttpUrl url;
    for (const char* bad : {"https://h/", "http:///x", "http://h:0/x", "http://h:65536/x",
                            "http://h:8o/x"})
        CHECK_FALSE_MESSAGE(parseHttpUrl(bad, url), bad);
    struct { const char* raw; const char* body; std::string error; } const cases[] = {
        {"HTTP/1.0 200 OK\nContent-Length: 2\n\nabX", "ab", ""},  // more than announced
        {"HTTP/1.0 200 OK\nContent-Length: -3\n\nab", "ab", "bad Content-Length: -3"},
        {"SSH-2.0-OpenSSH\r\n\r\n", "", "not an HTTP status line: SSH-2.0-OpenSSH"},
        {"HTTP/1.0 200 OK\r\nContent-Le", "",
         "the server closed the connection inside the headers"},
    };
    for (const auto& c : cases) {
        HttpAnswer answer;
        parseHttpAnswer(c.raw, answer);
        CHECK_MESSAGE((answer.body == c.body && answer.error == c.error), c.raw);
    }
}
