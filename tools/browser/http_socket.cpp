// The socket side of an HTTP exchange. Name lookup by gethostbyname keeps
// the program loadable by the oldest Winsock 2.
#include <winsock2.h>

#include "http.h"

// No page or stream of this service comes near this; a server that sends
// more is not believed.
static const size_t kMaxAnswer = size_t(64) << 20;

static bool startWinsock(std::string& error)
{
    static bool started = false;
    if (started)
        return true;
    WSADATA data;
    int status = WSAStartup(MAKEWORD(2, 0), &data);
    if (status != 0) {
        error = "WSAStartup failed: " + std::to_string(status);
        return false;
    }
    started = true;
    return true;
}

static bool sendAll(SOCKET s, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        int chunk = bytes.size() - sent > 65536 ? 65536 : int(bytes.size() - sent);
        int n = send(s, bytes.data() + sent, chunk, 0);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

// True when s has bytes (or its end) to read within milliseconds.
static bool readable(SOCKET s, DWORD milliseconds)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {long(milliseconds / 1000), long(milliseconds % 1000) * 1000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

// Connects without blocking past the deadline. Returns 0 or the socket error.
static int connectBefore(SOCKET s, const sockaddr_in& address, DWORD deadline)
{
    u_long on = 1, off = 0;
    ioctlsocket(s, FIONBIO, &on);
    int error = 0;
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = WSAGetLastError();
        if (error == WSAEWOULDBLOCK) {
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_SET(s, &writable);
            FD_ZERO(&failed);
            FD_SET(s, &failed);
            DWORD left = deadline - GetTickCount();
            if (int32_t(left) < 0)
                left = 0;
            timeval wait = {long(left / 1000), long(left % 1000) * 1000};
            int ready = select(0, nullptr, &writable, &failed, &wait);
            int length = sizeof error;
            error = 0;
            if (ready <= 0)
                error = WSAETIMEDOUT;
            else if (FD_ISSET(s, &failed) &&
                     (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 ||
                      error == 0))
                error = WSAECONNREFUSED;
        }
    }
    ioctlsocket(s, FIONBIO, &off);
    return error;
}

HttpAnswer httpExchange(const HttpUrl& url, const std::string& method,
                        const std::vector<std::string>& headers, const std::string& body,
                        int timeoutSeconds)
{
    HttpAnswer answer;
    if (!startWinsock(answer.error))
        return answer;

    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(u_short(url.port));
    address.sin_addr.s_addr = inet_addr(url.host.c_str());
    if (address.sin_addr.s_addr == INADDR_NONE) {
        hostent* host = gethostbyname(url.host.c_str());
        if (!host || host->h_addrtype != AF_INET || !host->h_addr_list[0]) {
            answer.error = "unknown host " + url.host;
            return answer;
        }
        memcpy(&address.sin_addr, host->h_addr_list[0], sizeof address.sin_addr);
    }

    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        answer.error = "socket failed: " + std::to_string(WSAGetLastError());
        return answer;
    }
    // One deadline for the whole exchange: a server that trickles its answer
    // a byte at a time must not hold the browser past it.
    DWORD deadline = GetTickCount() + DWORD(timeoutSeconds) * 1000;
    DWORD timeout = DWORD(timeoutSeconds) * 1000;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    int error = connectBefore(s, address, deadline);
    if (error != 0) {
        answer.error = "cannot connect to " + url.host + ":" + std::to_string(url.port) +
                       (error == WSAETIMEDOUT ? " within " + std::to_string(timeoutSeconds) + " s"
                                              : " (error " + std::to_string(error) + ")");
        closesocket(s);
        return answer;
    }

    std::string request = method + " " + url.path + " HTTP/1.0\r\n";
    request += "Host: " + url.host + (url.port == 80 ? "" : ":" + std::to_string(url.port)) + "\r\n";
    request += "User-Agent: vkbrowse/1.0\r\n";
    for (const std::string& line : headers)
        request += line + "\r\n";
    request += "\r\n";
    request += body;
    if (!sendAll(s, request)) {
        answer.error = "sending the request failed (error " + std::to_string(WSAGetLastError()) + ")";
        closesocket(s);
        return answer;
    }
    // Nothing more comes from us: a server reading to the end sees it now.
    shutdown(s, SD_SEND);

    std::string raw;
    char buffer[16384];
    bool broken = false, tooLarge = false, timedOut = false;
    int lastError = 0;
    for (;;) {
        DWORD left = deadline - GetTickCount();
        if (int32_t(left) <= 0 || !readable(s, left)) {
            timedOut = true;
            break;
        }
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n == 0)
            break;
        if (n < 0) {
            lastError = WSAGetLastError();
            broken = true;
            break;
        }
        if (raw.size() + size_t(n) > kMaxAnswer) {
            tooLarge = true;
            break;
        }
        raw.append(buffer, size_t(n));
    }
    closesocket(s);
    parseHttpAnswer(raw, answer);
    // How the reading ended says more than what the parser makes of the bytes.
    if (timedOut) {
        answer.error = raw.empty() ? "no answer from the server within " + std::to_string(timeoutSeconds) + " s"
                                   : "the answer was not complete within " + std::to_string(timeoutSeconds) +
                                         " s (" + std::to_string(raw.size()) + " bytes came)";
        answer.cutShort = true;
    } else if (tooLarge) {
        answer.error = "the answer is larger than " + std::to_string(kMaxAnswer >> 20) + " MiB; the rest was not read";
        answer.cutShort = true;
    } else if (broken && answer.error.empty()) {
        answer.error = "the connection broke (error " + std::to_string(lastError) + ")";
        answer.cutShort = true;
    }
    return answer;
}
