// Small file helpers for the programs that run inside the Wine prefix: the tests, the bench.
#pragma once

#include <string>
#include <vector>

// The prefix's Windows directory, e.g. "C:\windows".
std::string windowsDirectory();

// A file's bytes, or "" when it cannot be read.
std::string readBinaryFile(const std::string& path);

// A text file's lines without their line ends (CR LF or LF).
std::vector<std::string> readLines(const std::string& path);

// Writes bytes exactly; returns false on failure.
bool writeBinaryFile(const std::string& path, const std::string& bytes);

// Removes a file, clearing a read-only attribute first; missing is fine.
void removeFile(const std::string& path);

// Removes a directory with everything in it, the same way.
void removeTree(const std::string& path);
