// What the update pass does to files and programs: INI lookups and the
// "StartIn" mark through the profile service, attribute resets, the
// open-for-update test and the hidden start of a setup program.
#pragma once

// Reads `key` of `section` in the INI file `file` into `value` (kValueSize
// characters). Returns 1 when the key is there; 0 when the file, section or
// key is missing, or the value is the text "NOKEY".
int readIniValue(const char* file, const char* section, const char* key, char* value);

// Reads the whole section list of `file` (each name followed by a zero, the
// list closed by a second zero) into a buffer from malloc, grown until the
// list fits, and sets `length` to the list's length without its closing
// zero. Returns null when no buffer could hold it. The caller frees it.
char* readSectionNames(const char* file, int* length);

// Adds or replaces "StartIn" = "<current>" in `section` of `file`, leaving
// the rest of the file as it was. Returns 1 when written.
int writeStartInMark(const char* file, const char* section);

// Clears read-only, hidden and system attributes; failures show later.
void makeFileNormal(const char* path);

// 1 when the existing file can be opened for reading and writing (it is
// closed again at once); 0 when it is missing, read-only or locked.
int canOpenForUpdate(const char* path);

// Starts a program, window hidden, without waiting for it. Returns 1 when
// it was started.
int startHidden(const char* commandLine);
