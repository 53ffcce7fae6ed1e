// A plug-in's post buffer may begin with its own header lines, ended by an
// empty line, as browsers of this interface accept; the rest is the body.
#pragma once

#include <string>
#include <vector>

struct PostBuffer {
    std::vector<std::string> headers;  // "Name: value", line ends removed
    std::string body;
};

// Takes the header lines from the start of bytes when they form a header
// block (every line "Name: value", then an empty line, LF or CR LF line
// ends); otherwise all of bytes is the body.
PostBuffer splitPostBuffer(const std::string& bytes);

// The value of the named header (case-insensitive name), or "" with
// found false.
std::string headerValue(const std::vector<std::string>& headers, const std::string& name,
                        bool* found = nullptr);
