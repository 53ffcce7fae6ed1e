// The diagnostic log, "versioning.log" in the Windows directory: the only
// place the plug-in reports to. Shared by every instance in the process.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <time.h>

extern FILE* logFile;

// Creates the log anew (truncating it) and writes its time-stamped first line.
// Without a Windows directory, or when the file cannot be created, the log
// stays as it was (or closed) and messages are dropped.
void openLog(void);

// Writes the time-stamped first line into the log as it stands, truncating
// nothing: an instance made while another is still at work.
void logOpenLine(void);

// Formats once and writes the text verbatim, in one write to the file; a
// text longer than the usual buffer is still written whole.
void logMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The first line's time text, "Sun Dec 06 02:30:26 2026\n"; size >= 26.
void formatLogTime(time_t when, char* text, size_t size);

// text (length bytes) for a log line: control characters and "\\" written
// as C escapes (\n, \t, \x01, \\), so a value cannot split or fake a line.
// Writes at most size bytes, terminated, cutting only between characters;
// returns out.
const char* escapeText(const char* text, size_t length, char* out, size_t size);
