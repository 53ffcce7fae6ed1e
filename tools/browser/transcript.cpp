// Writing the transcript. A call into the plug-in is held back until it
// returns or causes a line of its own, so a call without consequences
// reads as one line: "> NPP_WriteReady(stream 1) = 268435455".
#include <stdio.h>

#include "browser.h"

static int depth = 0;
static std::string pendingCall;  // an entered call not yet printed
static bool havePending = false;

static void emit(const std::string& text, int level)
{
    fputs(std::string(size_t(level) * 4, ' ').c_str(), stdout);
    fputs(text.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

static void flushPending()
{
    if (havePending) {
        emit(pendingCall, depth - 1);
        havePending = false;
    }
}

void transcriptNote(const std::string& text)
{
    flushPending();
    emit("# " + text, depth);
}

void transcriptService(const std::string& callAndResult)
{
    flushPending();
    emit("< " + callAndResult, depth);
}

void enterPlugin(const std::string& call)
{
    flushPending();
    pendingCall = "> " + call;
    havePending = true;
    depth++;
}

void leavePlugin(const std::string& result)
{
    depth--;
    if (havePending) {
        emit(pendingCall + " = " + result, depth);
        havePending = false;
    } else {
        emit("= " + result, depth);
    }
}

std::string quoted(const char* bytes, size_t length, size_t limit)
{
    std::string text = "\"";
    size_t shown = length < limit ? length : limit;
    for (size_t i = 0; i < shown; i++) {
        unsigned char c = (unsigned char)bytes[i];
        switch (c) {
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\t': text += "\\t"; break;
        case '\0': text += "\\0"; break;
        case '"': text += "\\\""; break;
        case '\\': text += "\\\\"; break;
        default:
            if (c < 32 || c >= 127) {
                char hex[8];
                snprintf(hex, sizeof hex, "\\x%02X", c);
                text += hex;
            } else {
                text += char(c);
            }
        }
    }
    text += "\"";
    if (shown < length)
        text += " ... (" + std::to_string(length - shown) + " more bytes)";
    return text;
}

std::string quoted(const std::string& bytes, size_t limit)
{
    return quoted(bytes.data(), bytes.size(), limit);
}

std::string quotedOrNull(const char* text)
{
    if (!text)
        return "null";
    size_t length = 0;
    while (text[length] && length < 4096)
        length++;
    return quoted(text, length);
}

// An NPError or NPReason with its name, as the transcript shows it.
std::string npErrorText(NPError code)
{
    static const char* const names[] = {
        "NPERR_NO_ERROR", "NPERR_GENERIC_ERROR", "NPERR_INVALID_INSTANCE_ERROR",
        "NPERR_INVALID_FUNCTABLE_ERROR", "NPERR_MODULE_LOAD_FAILED_ERROR",
        "NPERR_OUT_OF_MEMORY_ERROR", "NPERR_INVALID_PLUGIN_ERROR",
        "NPERR_INVALID_PLUGIN_DIR_ERROR", "NPERR_INCOMPATIBLE_VERSION_ERROR",
        "NPERR_INVALID_PARAM", "NPERR_INVALID_URL", "NPERR_FILE_NOT_FOUND", "NPERR_NO_DATA",
        "NPERR_STREAM_NOT_SEEKABLE"};
    if (code >= 0 && code < NPError(sizeof names / sizeof names[0]))
        return std::to_string(code) + " " + names[code];
    return std::to_string(code);
}

std::string reasonText(NPReason reason)
{
    switch (reason) {
    case NPRES_DONE: return "0 NPRES_DONE";
    case NPRES_NETWORK_ERR: return "1 NPRES_NETWORK_ERR";
    case NPRES_USER_BREAK: return "2 NPRES_USER_BREAK";
    default: return std::to_string(reason);
    }
}
