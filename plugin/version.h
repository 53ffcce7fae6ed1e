/* The plug-in's version, in the one place both forms come from: the
   numbers of the fixed part and the text of the string block. */
#pragma once

#define NPVKCHK_VERSION 1, 0, 0, 1

#define NPVKCHK_TEXT_(...) #__VA_ARGS__
#define NPVKCHK_TEXT(...) NPVKCHK_TEXT_(__VA_ARGS__)
#define NPVKCHK_VERSION_TEXT NPVKCHK_TEXT(NPVKCHK_VERSION)
