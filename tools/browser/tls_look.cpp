// A refused server's certificate, taken by a TLS handshake of our own that
// goes no further: nothing of the exchange, not even a request line, reaches
// a server once it is refused. WinHTTP cannot be stopped short of the request:
// Wine sends it even when the handle is closed as WinHTTP reports the request
// about to go out, and hands over no certificate of a handshake it failed.
#define SECURITY_WIN32
#include <stdint.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>
#include <winhttp.h>

#include "http.h"

static DWORD left(DWORD deadline)
{
    DWORD rest = deadline - GetTickCount();
    return int32_t(rest) > 0 ? rest : 0;
}

// Waits until the socket can be read, or its connect has ended (Windows
// tells a failed connect in the exception set), until the deadline.
static bool ready(SOCKET s, bool connecting, DWORD deadline)
{
    fd_set set, failed;
    FD_ZERO(&set);
    FD_SET(s, &set);
    FD_ZERO(&failed);
    FD_SET(s, &failed);
    DWORD rest = left(deadline);
    timeval wait = {long(rest / 1000), long(rest % 1000) * 1000};
    return select(0, connecting ? nullptr : &set, connecting ? &set : nullptr, connecting ? &failed : nullptr,
                  &wait) > 0;
}

static bool sendAll(SOCKET s, const char* data, size_t size)
{
    while (size) {
        int sent = send(s, data, int(size), 0);
        if (sent <= 0)
            return false;
        data += sent;
        size -= size_t(sent);
    }
    return true;
}

// Appends what has come to in; false on a closed connection or the deadline.
static bool receive(SOCKET s, std::string& in, DWORD deadline)
{
    char buffer[8192];
    int got = ready(s, false, deadline) ? recv(s, buffer, sizeof buffer, 0) : 0;
    if (got <= 0)
        return false;
    in.append(buffer, size_t(got));
    return true;
}

static SOCKET connectTo(const std::string& host, const std::string& port, DWORD deadline)
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0)
        return INVALID_SOCKET;
    SOCKET s = INVALID_SOCKET;
    for (addrinfo* a = found; a && s == INVALID_SOCKET; a = a->ai_next) {
        s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        u_long nonBlocking = 1, blocking = 0;
        int error = 0, size = sizeof error;
        if (s != INVALID_SOCKET && ioctlsocket(s, FIONBIO, &nonBlocking) == 0 &&
            (connect(s, a->ai_addr, int(a->ai_addrlen)) == 0 || WSAGetLastError() == WSAEWOULDBLOCK) &&
            ready(s, true, deadline) && getsockopt(s, SOL_SOCKET, SO_ERROR, (char*)&error, &size) == 0 &&
            error == 0 && ioctlsocket(s, FIONBIO, &blocking) == 0)
            break;
        if (s != INVALID_SOCKET)
            closesocket(s);
        s = INVALID_SOCKET;
    }
    freeaddrinfo(found);
    return s;
}

// Where the exchange's connection went: the server itself, or the proxy
// that was asked to CONNECT to it. Returns "" where that cannot be told.
static std::string proxyFor(const std::string& proxy)
{
    if (proxy == "none")
        return "none";
    if (!proxy.empty())
        return proxy;
    WINHTTP_PROXY_INFO info = {};
    if (!WinHttpGetDefaultProxyConfiguration(&info))
        return "";
    std::string named;
    for (const wchar_t* c = info.lpszProxy; c && *c; c++)
        named += *c < 128 ? char(*c) : '?';
    GlobalFree(info.lpszProxy);
    GlobalFree(info.lpszProxyBypass);
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY)
        return "none";
    // One proxy for every scheme; a list by scheme or several are not followed.
    return named.find_first_of("=; ") == std::string::npos ? named : "";
}

// A connection to the server, through the proxy's CONNECT where the exchange
// used a proxy.
static SOCKET reach(const std::string& host, unsigned short port, const std::string& proxy, DWORD deadline)
{
    std::string via = proxyFor(proxy);
    if (via.empty())
        return INVALID_SOCKET;
    if (via == "none")
        return connectTo(host, std::to_string(port), deadline);
    size_t colon = via.rfind(':');
    SOCKET s = connectTo(via.substr(0, colon), colon == std::string::npos ? "80" : via.substr(colon + 1),
                         deadline);
    std::string target = host + ":" + std::to_string(port), answer;
    std::string ask = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n\r\n";
    if (s == INVALID_SOCKET || !sendAll(s, ask.data(), ask.size())) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    // The proxy's answer ends with an empty line; the handshake comes after it.
    while (answer.find("\r\n\r\n") == std::string::npos && answer.size() < 16384)
        if (!receive(s, answer, deadline))
            break;
    bool through = answer.size() > 12 && answer.compare(0, 7, "HTTP/1.") == 0 &&
                   answer.compare(8, 4, " 200") == 0 && (answer[12] == ' ' || answer[12] == '\r') &&
                   answer.find("\r\n\r\n") + 4 == answer.size();
    if (!through) {
        closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

// The client's side of the handshake up to its end. Returns the security
// status of the last step.
static SECURITY_STATUS handshake(SOCKET s, CredHandle* credentials, CtxtHandle* context, const std::wstring& host,
                                 DWORD deadline)
{
    const DWORD wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                         ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
    std::wstring target = host;
    std::string in;
    bool first = true;
    SECURITY_STATUS status = SEC_I_CONTINUE_NEEDED;
    while (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE) {
        if (left(deadline) == 0)
            return SEC_E_INTERNAL_ERROR;
        if (!first && (in.empty() || status == SEC_E_INCOMPLETE_MESSAGE) && !receive(s, in, deadline))
            return SEC_E_INTERNAL_ERROR;
        SecBuffer inBuffers[2] = {{ULONG(in.size()), SECBUFFER_TOKEN, in.empty() ? nullptr : &in[0]},
                                  {0, SECBUFFER_EMPTY, nullptr}};
        SecBuffer outBuffer = {0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, inBuffers}, outDesc = {SECBUFFER_VERSION, 1, &outBuffer};
        ULONG granted = 0;
        status = InitializeSecurityContextW(credentials, first ? nullptr : context, &target[0], wanted, 0, 0,
                                            first ? nullptr : &inDesc, 0, first ? context : nullptr, &outDesc,
                                            &granted, nullptr);
        first = false;
        bool sent = !outBuffer.pvBuffer || sendAll(s, static_cast<char*>(outBuffer.pvBuffer), outBuffer.cbBuffer);
        if (outBuffer.pvBuffer)
            FreeContextBuffer(outBuffer.pvBuffer);
        if (!sent)
            return SEC_E_INTERNAL_ERROR;
        if (status == SEC_E_INCOMPLETE_MESSAGE)
            continue;
        if (inBuffers[1].BufferType == SECBUFFER_EXTRA)
            in.erase(0, in.size() - inBuffers[1].cbBuffer);
        else
            in.clear();
    }
    return status;
}

const CERT_CONTEXT* serverCertificate(const HttpUrl& url, const std::string& proxy, int timeoutMilliseconds)
{
    DWORD deadline = GetTickCount() + DWORD(timeoutMilliseconds);
    WSADATA winsock;
    if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0)
        return nullptr;
    std::string host;
    for (wchar_t c : url.host)
        host += c < 128 ? char(c) : '?';
    const CERT_CONTEXT* certificate = nullptr;
    SCHANNEL_CRED wanted = {};
    wanted.dwVersion = SCHANNEL_CRED_VERSION;
    wanted.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    CredHandle credentials;
    CtxtHandle context;
    SOCKET s = reach(host, url.port, proxy, deadline);
    if (s != INVALID_SOCKET &&
        AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                  &wanted, nullptr, nullptr, &credentials, nullptr) == SEC_E_OK) {
        SecInvalidateHandle(&context);
        if (handshake(s, &credentials, &context, url.host, deadline) == SEC_E_OK)
            QueryContextAttributesW(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
        if (SecIsValidHandle(&context))
            DeleteSecurityContext(&context);
        FreeCredentialsHandle(&credentials);
    }
    if (s != INVALID_SOCKET)
        closesocket(s);
    WSACleanup();
    return certificate;
}
