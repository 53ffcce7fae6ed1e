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
    struct {
        const char* raw;
        const char* body;
        std::string error;
        int status = 0;
    } const cases[] = {
        {"HTTP/1.0 200 OK\nContent-Length: 2\n\nabX", "ab", "", 200},  // more than announced
        {"HTTP/1.0 404 OK\nContent-Length: -3\n\nab", "ab", "bad Content-Length: -3", 404},
        {"SSH-2.0-OpenSSH\r\n\r\n", "", "not an HTTP status line: SSH-2.0-OpenSSH"},
        {"HTTP/1.0-200-OK\n\nab", "", "no blank in the HTTP status line: HTTP/1.0-200-OK"},
        {"HTTP/1.0 99999999999 OK\n\nab", "",
         "the HTTP status code is not three digits: HTTP/1.0 99999999999 OK"},
        {"HTTP/1.0 2x0 OK\n\nab", "", "the HTTP status code is not three digits: HTTP/1.0 2x0 OK"},
        {"HTTP/1.0 200\n\nab", "ab", "", 200},  // the reason phrase may be left out
        {"HTTP/1.0 200 OK\r\nContent-Le", "",
         "the server closed the connection inside the headers"},
    };
    for (const auto& c : cases) {
        HttpAnswer answer;
        parseHttpAnswer(c.raw, answer);
        CHECK_MESSAGE(
            (answer.body == c.body && answer.error == c.error && answer.status == c.status), c.raw);
    }
}
