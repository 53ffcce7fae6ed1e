// Taking the plug-in's header lines off the front of a post buffer, and
// finding the embed in a page.
#include <doctest/doctest.h>

#include "page.h"
#include "post_buffer.h"

using std::string;

TEST_CASE("a report's own header lines are taken from the buffer, the rest is body")
{
    const string body("junk=1&number=1&versions=a.exe=12345\0", 37);
    PostBuffer split = splitPostBuffer(
        "Content-Type: application/x-www-form-urlencoded\nContent-Length: 37\n\n" + body);
    REQUIRE(split.hasHeaderBlock);
    REQUIRE(split.headers.size() == 2);
    CHECK(split.headers[0] == "Content-Type: application/x-www-form-urlencoded");
    CHECK(split.body == body);  // the final zero byte stays part of the body
    CHECK(headerValue(split.headers, "content-length") == "37");
    bool found = true;
    CHECK(headerValue(split.headers, "Content-Encoding", &found).empty());
    CHECK_FALSE(found);
}

TEST_CASE("buffers without a header block are all body")
{
    const char* const bodies[] = {
        "junk=1&number=0&versions",       // no line at all
        "a=b\n\nc",                       // first line is not "Name: value"
        "\nContent-Length: 3\n\nabc",     // leading empty line
        "Content-Length: 3\nabc",         // no empty line ends the headers
        "Bad Name: x\n\nbody",            // a blank inside the name
    };
    for (const char* bytes : bodies) {
        CAPTURE(bytes);
        PostBuffer split = splitPostBuffer(bytes);
        CHECK_FALSE(split.hasHeaderBlock);
        CHECK(split.headers.empty());
        CHECK(split.body == bytes);
    }
}

TEST_CASE("CR LF header lines are accepted too")
{
    PostBuffer split = splitPostBuffer("Content-Length: 2\r\nX-A: b\r\n\r\nhi");
    REQUIRE(split.hasHeaderBlock);
    CHECK(split.headers.size() == 2);
    CHECK(split.headers[1] == "X-A: b");
    CHECK(split.body == "hi");
}

TEST_CASE("the embed of the plug-in's type is found with its attributes")
{
    const string type = "application/x-velkor-versioning";
    Embed embed;
    SUBCASE("quoted, bare and upper-case attributes")
    {
        REQUIRE(findEmbed("<html><EMBED SRC=\"manifest.velkor\" Type='application/X-Velkor-Versioning' "
                          "width=240 height=60 hidden></embed>",
                          type, embed));
        CHECK(embed.value("src") == "manifest.velkor");
        CHECK(embed.value("width") == "240");
        CHECK(embed.attributes.size() == 5);
        CHECK(embed.attributes.back().first == "hidden");
    }
    SUBCASE("embeds of other types are passed over")
    {
        REQUIRE(findEmbed("<embed src=a.swf type=application/x-shockwave-flash>"
                          "<embedded><embed src=b.velkor type=application/x-velkor-versioning>",
                          type, embed));
        CHECK(embed.value("src") == "b.velkor");
    }
    SUBCASE("no embed, or an unterminated tag")
    {
        CHECK_FALSE(findEmbed("<p>nothing here</p>", type, embed));
        CHECK_FALSE(findEmbed("<embed src=\"x", type, embed));
    }
}
