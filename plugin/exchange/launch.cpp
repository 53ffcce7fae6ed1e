#include "launch.h"

int startClient(NPP, PluginInstance*)
{
    return 0;
}
