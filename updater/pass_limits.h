// Capacities of the update pass's texts, in characters including the
// terminator.
#pragma once

#include <stddef.h>

const size_t kSectionListSize = 4096;   // the service INI file's section names
const size_t kSectionNameSize = 128;    // one section name
const size_t kStatusSize = 256;         // status and percent texts
const size_t kValueSize = 260;          // a value read from an INI file
const size_t kEntrySectionSize = 80;    // "n-1 name", the execute entry section
const size_t kPathSize = 276;           // setup INI and setup program paths
const size_t kCommandLineSize = 552;    // the setup program's command line
const size_t kTitleSize = 80;           // a game's display title
const size_t kMessageSize = 256;        // message box text, and its format
const size_t kCaptionSize = 80;         // message box caption
