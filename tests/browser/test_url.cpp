// Address resolution against a page, as the plug-in's relative requests
// ("ret_objects", "index.html", server-given pages) depend on it.
#include <doctest/doctest.h>

#include "url.h"

TEST_CASE("relative references resolve against the page like a browser's")
{
    struct Case {
        const char* base;
        const char* reference;
        const char* expected;
    };
    const Case cases[] = {
        /* 0 */ {"http://h:8080/irampart/", "ret_objects", "http://h:8080/irampart/ret_objects"},
        /* 1 */ {"http://h:8080/irampart/check.html", "index.html", "http://h:8080/irampart/index.html"},
        /* 2 */ {"http://h/a/b/page.html", "../up.html", "http://h/a/up.html"},
        /* 3 */ {"http://h/a/page.html", "../../../x", "http://h/x"},
        /* 4 */ {"http://h/a/page.html", "./x/./y", "http://h/a/x/y"},
        /* 5 */ {"http://h/a/page.html", "/root.html", "http://h/root.html"},
        /* 6 */ {"http://h/a/page.html", "http://other:81/z", "http://other:81/z"},
        /* 7 */ {"http://h/a/page.html?x=1", "?y=2", "http://h/a/page.html?y=2"},
        /* 8 */ {"http://h/a/page.html", "b.html?q=a/b#frag", "http://h/a/b.html?q=a/b"},
        /* 9 */ {"http://h/a/page.html", "", "http://h/a/page.html"},
        /* 10 */ {"http://h:80/a/", "x", "http://h/a/x"},
        /* 11 */ {"http://h/a/", "..", "http://h/"},
        /* 12 */ {"http://h/a/page.html", "//cdn/x", "http://cdn/x"},
        /* 13 */ {"ftp://h/a/", "x", ""},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; i++) {
        CAPTURE(i);
        CHECK(resolveUrl(cases[i].base, cases[i].reference) == cases[i].expected);
    }
}

TEST_CASE("http addresses split into host, port and path")
{
    HttpUrl url;
    SUBCASE("port and query")
    {
        REQUIRE(parseHttpUrl("HTTP://127.0.0.1:8080/g/x?a=b#f", url));
        CHECK(url.host == "127.0.0.1");
        CHECK(url.port == 8080);
        CHECK(url.path == "/g/x?a=b");
    }
    SUBCASE("no path")
    {
        REQUIRE(parseHttpUrl("http://example", url));
        CHECK(url.port == 80);
        CHECK(url.path == "/");
    }
    SUBCASE("refused")
    {
        CHECK_FALSE(parseHttpUrl("https://h/", url));
        CHECK_FALSE(parseHttpUrl("http:///x", url));
        CHECK_FALSE(parseHttpUrl("http://h:/x", url));
        CHECK_FALSE(parseHttpUrl("http://h:0/x", url));
        CHECK_FALSE(parseHttpUrl("http://h:65536/x", url));
        CHECK_FALSE(parseHttpUrl("http://h:8o/x", url));
        CHECK_FALSE(parseHttpUrl("ret_objects", url));
    }
}
