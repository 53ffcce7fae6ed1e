// Finding the plug-in's content in a page: the first <embed> whose type is
// the plug-in's MIME type, with all its attributes (they become the
// instance's arguments, as browsers pass them).
#pragma once

#include <string>
#include <utility>
#include <vector>

struct Embed {
    std::vector<std::pair<std::string, std::string>> attributes;  // names lower-cased
    std::string value(const std::string& name) const;
};

// Returns false when the page has no <embed> of that type. An empty
// mimeType takes the first <embed> that names a type.
bool findEmbed(const std::string& html, const std::string& mimeType, Embed& embed);

// Whether the page asks for no Referer on its requests, as
// <meta name="referrer" content="no-referrer"> does in browsers.
bool asksNoReferrer(const std::string& html);
