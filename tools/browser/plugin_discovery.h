// Finding the library for a page's type when none is named on the command
// line, in the places and the order browsers of the interface looked.
#pragma once

#include <string>

// Looks in the Plugins folder beside this program, then in each
// registration under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE
// \Software\MozillaPlugins (in the registry view of this program's width),
// and takes the first library whose MIMEType list serves type. Every
// library passed over and the one chosen get a transcript line. Returns
// false with a message naming the type and the places looked in.
bool findPluginForType(const std::string& type, std::string& path, std::string& error);
