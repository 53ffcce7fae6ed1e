// Where a game and the service's components live on the player's disk.
#pragma once

#include "../host/instance.h"

enum { kPathSize = 260 };  // resolved paths, terminator included

// Fills systemPath, pluginPath and startIn for game. Returns 1, or 0 after
// logging a failure.
int initPaths(PluginInstance* This, const char* game);

// Resolves one manifest line into path (kPathSize bytes). Returns 1, or 0
// after logging a failure.
int resolveManifestPath(PluginInstance* This, const char* line, char* path);

// The Windows directory into dir (size bytes). Returns the text's length, or
// 0 when the directory is unavailable or does not fit.
unsigned readWindowsDirectory(char* dir, unsigned size);
