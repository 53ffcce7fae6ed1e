// The parts of the Wine prefix that the install locations read: the
// components key and the service INI file. Each guard takes its part over
// for one test and puts back what was there before.
#pragma once

#include <string>
#include <vector>

// HKLM\Software\Velkor Games Online\Velkor System Components, removed on
// construction and restored (or removed again) on destruction.
struct ComponentsKeyGuard {
    ComponentsKeyGuard();
    ~ComponentsKeyGuard();

    // Creates the key if needed and stores bytes under name exactly.
    void setValue(const char* name, const std::string& bytes, unsigned long type);
    // A string value with its terminator.
    void setString(const char* name, const std::string& text);
    void create();
    // Deletes the key, values and all.
    void remove();

    struct Value {
        std::string name;
        unsigned long type;
        std::string bytes;
    };
    bool hadKey = false;
    bool hadParent = false;
    std::vector<Value> saved;
};

// velkorgo.ini in the Windows directory, removed on construction and restored
// (or removed again) on destruction.
struct ServiceIniGuard {
    ServiceIniGuard();
    ~ServiceIniGuard();

    void write(const std::string& text);
    void remove();

    std::string path;
    bool hadFile = false;
    std::string savedBytes;
};
