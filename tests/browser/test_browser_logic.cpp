// The browser stand-in's own logic in the cases an exchange on loopback does
// not reach: addresses, post buffers, pages and HTTP answers.
#include <doctest/doctest.h>

#include "http.h"
#include "page.h"
#include "post_buffer.h"
#include "url.h"

TEST_CASE("pages: the plug-in's embed is found, and references resolve like a browser's")
{
    Embed embed;  // the first of the plug-in's type, with all its attributes
    REQUIRE(findEmbed("<embed src=a.swf type=application/x-shockwave-flash><embedded>"
                      "<EMBED SRC=\"m.velkor\" Type='application/X-Velkor-Versioning' width=240 "
                      "hidden></embed>", "application/x-velkor-versioning", embed));
    CHECK((embed.value("src") == "m.velkor" && embed.value("width") == "240"));
    CHECK((embed.attributes.size() == 4 && embed.attributes.back().first == "hidden"));
    const char* const cases[][3] = {  // base, reference, resolved
        {"http://h/a/b/page.html", "../up.html", "http://h/a/up.html"},
        {"http://h/a/page.html", "../../../x", "http://h/x"},  // not above the root
        {"http://h/a/page.html", "./x/./y", "http://h/a/x/y"},
        {"http://h/a/page.html", "/root.html", "http://h/root.html"},
        {"http://h/a/page.html?x=1", "?y=2", "http://h/a/page.html?y=2"},
        {"http://h/a/page.html", "b.html?q=a/b#frag", "http://h/a/b.html?q=a/b"},
        {"http://h:80/a/", "x", "http://h/a/x"},
        {"http://h/a/", "..", "http://h/"},
        {"http://h/a/page.html", "//cdn/x", "http://cdn/x"},
        {"ftp://h/a/", "x", ""},
    };
    for (const auto& c : cases)
        CHECK_MESSAGE(resolveUrl(c[0], c[1]) == c[2], c[1]);
    HttpUrl url;
    REQUIRE(parseHttpUrl("HTTP://127.0.0.1:8080/g/x?a=b#f", url));
    CHECK((url.host == "127.0.0.1" && url.port == 8080 && url.path == "/g/x?a=b"));
    REQUIRE(parseHttpUrl("http://example", url));
    CHECK((url.port == 80 && url.path == "/"));
    for (const char* bad : {"https://h/", "http:///x", "http://h:/x", "http://h:0/x",
                            "http://h:65536/x", "http://h:8o/x", "ret_objects"})
        CHECK_FALSE_MESSAGE(parseHttpUrl(bad, url), bad);
}

TEST_CASE("post buffers: a header block is taken off only when it is one")
{
    const std::string body("junk=1&number=1&versions=a.exe=12345\0", 37);
    PostBuffer split = splitPostBuffer("Content-Type: x\r\nContent-Length: 37\r\n\r\n" + body);
    CHECK(split.headers.size() == 2);
    CHECK(split.body == body);  // the final zero byte stays part of the body
    CHECK(headerValue(split.headers, "content-length") == "37");
    for (const char* bytes : {"junk=1&number=0&versions", "a=b\n\nc", "\nContent-Length: 3\n\nabc",
                              "Content-Length: 3\nabc", "Bad Name: x\n\nbody"}) {
        split = splitPostBuffer(bytes);
        CHECK_MESSAGE((!split.hasHeaderBlock && split.headers.empty() && split.body == bytes),
                      bytes);
    }
}

TEST_CASE("HTTP answers: what came is kept, and an unusable one says why")
{
    HttpAnswer ok;  // bytes past Content-Length are not content, parameters not the type
    parseHttpAnswer("HTTP/1.0 200 OK\r\nContent-Type: a/b;q=1\r\nContent-Length: 5\r\n\r\nab\ncdX",
                    ok);
    CHECK((ok.error.empty() && ok.status == 200 && ok.contentType == "a/b"));
    CHECK(ok.body == "ab\ncd");
    struct { const char* raw; int status; const char* body; bool cut; std::string error; }
    const cases[] = {
        // Without Content-Length the body runs to the end; LF-only lines.
        {"HTTP/1.0 400 Bad\n\nmalformed\n", 400, "malformed\n", false, ""},
        {"HTTP/1.0 200 OK\nContent-Length: 80\n\nirampart;ra", 200, "irampart;ra", true,
         "the server closed the connection after 11 of 80 bytes"},
        {"", 0, "", false, "the server closed the connection without answering"},
        {"HTTP/1.0 200 OK\r\nContent-Le", 0, "", false,
         "the server closed the connection inside the headers"},
        {"SSH-2.0-OpenSSH\r\n\r\n", 0, "", false, "not an HTTP status line: SSH-2.0-OpenSSH"},
        {"HTTP/1.0 200 OK\nContent-Length: -3\n\n", 200, "", false, "bad Content-Length: -3"},
    };
    for (const auto& c : cases) {
        HttpAnswer answer;
        parseHttpAnswer(c.raw, answer);
        CHECK_MESSAGE((answer.status == c.status && answer.body == c.body &&
                       answer.cutShort == c.cut && answer.error == c.error), c.raw);
    }
}
