// Starting a program on its own, the one process call of the plug-in.
#pragma once

#include <stdint.h>

// Starts commandLine (which the system may modify) in its own console with
// directory as its working directory, and lets it run without waiting.
// Returns 1, or 0 with the system's error code in *error.
int startDetachedProcess(char* commandLine, const char* directory, uint32_t* error);
