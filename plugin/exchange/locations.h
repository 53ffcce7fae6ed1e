// Where a game and the service's components live on the player's disk.
#pragma once

#include "../host/instance.h"

enum { kPathSize = 260 };  // resolved paths, terminator included

// Fills systemPath, pluginPath and startIn for game: startIn is "Error" when
// the service INI file names no directory for it. Returns 1, or 0 after
// logging a failure.
int initPaths(PluginInstance* This, const char* game);

// Resolves one manifest line into path (kPathSize bytes). Returns 1, or 0
// after logging a failure.
int resolveManifestPath(PluginInstance* This, const char* line, char* path);
