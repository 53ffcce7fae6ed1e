// The parts of the Wine prefix that the install locations read: the
// components key and the service INI file. Each guard takes its part over
// for one test and puts back what was there before.
#pragma once

#include <string>

// HKLM\Software\Velkor Games Online with its components key, moved aside on
// construction and put back on destruction.
struct ComponentsKeyGuard {
    ComponentsKeyGuard();
    ~ComponentsKeyGuard();
    // Stores bytes under name exactly, creating the components key if needed.
    void setValue(const char* name, const std::string& bytes, unsigned long type);
    void setString(const char* name, const std::string& text);  // with its terminator
    void remove();  // the components key, values and all
    bool hadKey;
};

// velkorgo.ini in the Windows directory, removed on construction and put
// back on destruction.
struct ServiceIniGuard {
    ServiceIniGuard();
    ~ServiceIniGuard();
    void write(const std::string& text);  // "" removes the file
    void remove() { write(""); }
    std::string path, savedBytes;
    bool hadFile;
};
