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
    DWORD timeout = DWORD(timeoutSeconds) * 1000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        answer.error = "cannot connect to " + url.host + ":" + std::to_string(url.port) + " (error " +
                       std::to_string(WSAGetLastError()) + ")";
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
    answer.connected = true;
    // Nothing more comes from us: a server reading to the end sees it now.
    shutdown(s, SD_SEND);

    std::string raw;
    char buffer[16384];
    bool broken = false;
    bool tooLarge = false;
    for (;;) {
        int n = recv(s, buffer, sizeof buffer, 0);
        if (n == 0)
            break;
        if (n < 0) {
            broken = true;
            break;
        }
        if (raw.size() + size_t(n) > kMaxAnswer) {
            tooLarge = true;
            break;
        }
        raw.append(buffer, size_t(n));
    }
    int lastError = WSAGetLastError();
    closesocket(s);
    parseHttpAnswer(raw, answer);
    if (tooLarge) {
        answer.error = "the answer is larger than " + std::to_string(kMaxAnswer >> 20) + " MiB; the rest was not read";
        answer.cutShort = true;
    } else if (broken && answer.error.empty()) {
        answer.error = lastError == WSAETIMEDOUT ? "no answer from the server within " +
                                                       std::to_string(timeoutSeconds) + " s"
                                                 : "the connection broke (error " + std::to_string(lastError) + ")";
        answer.cutShort = true;
    }
    return answer;
}
