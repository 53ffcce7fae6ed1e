// Delivering bytes to the instance as a stream: NPP_NewStream, then
// NPP_WriteReady and NPP_Write in chunks no larger than the plug-in is
// ready for (nor than the configured chunk size), then NPP_DestroyStream.
#include <stdio.h>

#include <vector>

#include "session.h"
#include "transcript.h"
#include "window.h"

enum { kMaxStalls = 50 };  // WriteReady answers of 0 in a row before the browser gives up

bool deliverStream(Page& page, const std::string& url, const std::string& type,
                   const std::string& bytes, uint32_t end, NPReason endReason, void* notifyData)
{
    int number = ++session.streams;
    std::string label = "stream " + std::to_string(number);
    NPStream stream = {};
    stream.url = url.c_str();
    stream.end = end;
    stream.notifyData = notifyData;
    std::vector<char> mime(type.begin(), type.end());
    mime.push_back('\0');
    uint16_t stype = NP_NORMAL;

    if (!session.plugin.newstream || !session.plugin.write || !session.plugin.destroystream) {
        session.failures.push_back("the plug-in's function table has no stream entries");
        transcriptNote("cannot deliver " + label + ": the plug-in's table has no stream entries");
        return false;
    }
    enterPlugin("NPP_NewStream(" + quoted(type) + ", " + label + " " + url + ", end " +
                std::to_string(end) + ", seekable 0)");
    NPError created = session.plugin.newstream(&page.npp, mime.data(), &stream, 0, &stype);
    leavePlugin(npErrorText(created) + ", stype " + std::to_string(stype));
    if (created != NPERR_NO_ERROR) {
        session.failures.push_back("NPP_NewStream refused " + label);
        return false;
    }
    if (stype != NP_NORMAL)
        transcriptNote("the plug-in asked for stream type " + std::to_string(stype) +
                       "; this browser delivers through NPP_Write only");

    bool accepted = true;
    NPReason reason = endReason;
    size_t offset = 0;
    int stalls = 0;
    std::vector<char> chunk;
    while (offset < bytes.size()) {
        int32_t ready = session.plugin.writeready
                            ? session.plugin.writeready(&page.npp, &stream)
                            : int32_t(session.options.chunkSize);
        size_t amount = bytes.size() - offset;
        if (amount > session.options.chunkSize)
            amount = session.options.chunkSize;
        if (ready <= 0) {
            enterPlugin("NPP_WriteReady(" + label + ")");
            leavePlugin(std::to_string(ready));
            if (++stalls > kMaxStalls) {
                transcriptNote("the plug-in stayed unready; ending " + label);
                reason = NPRES_USER_BREAK;
                accepted = false;
                break;
            }
            pumpMessages();
            continue;
        }
        if (size_t(ready) < amount)
            amount = size_t(ready);
        // The plug-in gets a copy: it must not be able to change what we hold.
        chunk.assign(bytes.begin() + long(offset), bytes.begin() + long(offset + amount));
        enterPlugin("NPP_Write(" + label + ", offset " + std::to_string(offset) + ", len " +
                    std::to_string(amount) + ", " + quoted(chunk.data(), chunk.size(), 80) +
                    ") after NPP_WriteReady = " + std::to_string(ready));
        int32_t written =
            session.plugin.write(&page.npp, &stream, int32_t(offset), int32_t(amount), chunk.data());
        leavePlugin(std::to_string(written));
        if (written < 0) {
            transcriptNote("NPP_Write refused the bytes; ending " + label);
            reason = NPRES_USER_BREAK;
            accepted = false;
            break;
        }
        if (written == 0 && ++stalls > kMaxStalls) {
            transcriptNote("the plug-in took no bytes; ending " + label);
            reason = NPRES_USER_BREAK;
            accepted = false;
            break;
        }
        if (written > 0)
            stalls = 0;
        offset += size_t(written) < amount ? size_t(written) : amount;
        pumpMessages();
    }

    enterPlugin("NPP_DestroyStream(" + label + ", " + reasonText(reason) + ")");
    NPError ended = session.plugin.destroystream(&page.npp, &stream, reason);
    leavePlugin(npErrorText(ended));
    pumpMessages();
    if (!accepted)
        session.failures.push_back("the plug-in refused the bytes of " + label);
    if (ended != NPERR_NO_ERROR)
        session.failures.push_back("NPP_DestroyStream of " + label + " answered " + npErrorText(ended));
    return accepted;
}
