// The rules by which a browser of the plug-in interface matched libraries
// to content: which files in a plug-ins folder it looked at, and when a
// library's MIMEType list serves a type. Pure, so the tests take them alone.
#pragma once

#include <string>

// MIME types compare without regard to case.
bool sameType(const std::string& a, const std::string& b);

// True when the "|"-separated list names type.
bool typeListServes(const std::string& list, const std::string& type);

// True for NP*.DLL in any case: browsers took no other file from a
// plug-ins folder.
bool isPluginFileName(const std::string& name);
