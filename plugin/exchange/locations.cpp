#include "locations.h"

int initPaths(PluginInstance*, const char*)
{
    return 0;
}

int resolveManifestPath(PluginInstance*, const char*, char*)
{
    return 0;
}
