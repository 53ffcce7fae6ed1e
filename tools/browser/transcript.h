// The stand-in's transcript on standard output: every call into the
// plug-in ("> "), every call the plug-in makes back ("< "), and the
// browser's own doings ("# "), indented by nesting.
#pragma once

#include <stddef.h>

#include <string>

#include "host/npapi.h"

// A browser note at the current depth.
void transcriptNote(const std::string& text);

// A call from the plug-in into the browser, with its result.
void transcriptService(const std::string& callAndResult);

// A call into the plug-in: enterPlugin before, leavePlugin with the result
// after. Lines the plug-in causes in between are indented below it.
void enterPlugin(const std::string& call);
void leavePlugin(const std::string& result);

// Bytes as a readable C-style string literal: quotes, \n, \r, \0 and \xNN;
// cut after limit bytes with a count of the rest.
std::string quoted(const char* bytes, size_t length, size_t limit = 600);
std::string quoted(const std::string& bytes, size_t limit = 600);
std::string quotedOrNull(const char* text);

// An NPError or NPReason as a number with its name: "0 NPERR_NO_ERROR".
std::string npErrorText(NPError code);
std::string reasonText(NPReason reason);
