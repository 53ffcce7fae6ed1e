// All of the stand-in's HTTP, over WinHTTP: one exchange at a time, bounded
// as a whole by one deadline (WinHTTP's own time-outs count per receive,
// and a server that trickles a byte a second never trips them), redirects
// followed where a browser follows them, and a refused certificate's
// reason. Each exchange and its answer get transcript lines.
#define SECURITY_WIN32
#include <stdint.h>
#include <stdlib.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>
#include <winhttp.h>

#include "browser.h"
#include "url.h"

enum { kMaxRedirects = 5 };  // a server that keeps redirecting is given up on here

// No page or stream of this service comes near this; a server that sends
// more is not believed.
static const size_t kMaxAnswer = size_t(64) << 20;

static HINTERNET internet;
static std::string proxySetting;  // as given to httpStart, for a refused certificate's reason
static bool acceptAnyCertificate;

// What a request's callbacks tell the waiting thread. Everything a pending
// call may still write lives here, and the request's last callback frees
// it: a request given up on at its deadline may call back later.
struct Progress {
    HANDLE step = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    DWORD error = 0;
    DWORD bytes = 0;
    bool sent = false;  // the request went out: Wine waits for the answer's head before it says so
    std::string body;  // the request's, sent from here
    char buffer[16384];
};

static void CALLBACK onStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info, DWORD length)
{
    Progress* progress = reinterpret_cast<Progress*>(context);
    if (!progress)
        return;  // the session's and connections' own closing
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        CloseHandle(progress->step);
        delete progress;
        return;
    case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
        progress->sent = true;
        return;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        progress->error = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        progress->bytes = *static_cast<DWORD*>(info);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        progress->bytes = length;
        break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        break;
    default:
        return;
    }
    SetEvent(progress->step);
}

bool httpStart(const std::string& proxy, bool insecure, std::string& error)
{
    std::wstring named(proxy.begin(), proxy.end());
    DWORD access = proxy.empty() ? WINHTTP_ACCESS_TYPE_DEFAULT_PROXY
                   : proxy == "none" ? WINHTTP_ACCESS_TYPE_NO_PROXY
                                     : WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    const wchar_t* name = access == WINHTTP_ACCESS_TYPE_NAMED_PROXY ? named.c_str() : WINHTTP_NO_PROXY_NAME;
    internet = WinHttpOpen(L"vkbrowse/1.0", access, name, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    DWORD wanted = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES |
                   WINHTTP_CALLBACK_FLAG_SEND_REQUEST;
    if (!internet ||
        WinHttpSetStatusCallback(internet, onStatus, wanted, 0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        error = "WinHTTP could not be opened (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    acceptAnyCertificate = insecure;
    proxySetting = proxy;
    return true;
}

// What is left of the time until the deadline, in milliseconds.
static DWORD left(DWORD deadline)
{
    DWORD rest = deadline - GetTickCount();
    return int32_t(rest) > 0 ? rest : 0;
}

// Waits for the call just started to call back, until the deadline.
// Returns 0, the call's error, or ERROR_WINHTTP_TIMEOUT for the deadline.
// Wine completes a read of an answer under way on the calling thread, a
// receive at a time: such a read ends by the receive time-out, which is
// kept at what is left, and a step that ends after the deadline is late.
static DWORD await(BOOL started, Progress* progress, DWORD deadline)
{
    if (!started)
        return GetLastError();
    if (WaitForSingleObject(progress->step, left(deadline)) != WAIT_OBJECT_0 || left(deadline) == 0)
        return ERROR_WINHTTP_TIMEOUT;
    return progress->error;
}

static std::string hostAndPort(const HttpUrl& url)
{
    return std::string(url.host.begin(), url.host.end()) + ":" + std::to_string(url.port);
}

// A refused server's certificate, taken by a TLS handshake of our own that
// goes no further: nothing of the exchange, not even a request line, reaches
// a server once it is refused. WinHTTP cannot be stopped short of the request:
// Wine sends it even when the handle is closed as WinHTTP reports the request
// about to go out, and hands over no certificate of a handshake it failed.

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

// The certificate url's server shows, through proxy's CONNECT where one is
// used; null when it cannot be had. The caller frees it.
static const CERT_CONTEXT* serverCertificate(const HttpUrl& url, const std::string& proxy,
                                             int timeoutMilliseconds)
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

// Why a server's certificate was refused. Wine's WinHTTP reports every
// refusal as a failed TLS channel, Windows' as flags: either way the
// certificate is taken by the handshake above and its chain read here.
// The chain's trust status comes first: Wine's SSL policy check passes a
// chain that does not reach a root, which is the commonest mistake.
static bool numericHost(const std::wstring& host)
{
    return !host.empty() && (host.find_first_not_of(L"0123456789.") == std::wstring::npos || host[0] == L'[');
}

static std::string verdict(const CERT_CONTEXT* certificate, const std::wstring& host)
{
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof chainPara;
    const CERT_CHAIN_CONTEXT* chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara, 0,
                                 nullptr, &chain))
        return "its chain could not be built";
    DWORD trust = chain->TrustStatus.dwErrorStatus;
    bool leafOutOfDate = chain->cChain && chain->rgpChain[0]->cElement &&
                         (chain->rgpChain[0]->rgpElement[0]->TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status = {};
    status.cbSize = sizeof status;
    CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status);
    CertFreeCertificateChain(chain);
    std::string insecure = " (--insecure accepts it)";
    if (trust & CERT_TRUST_IS_UNTRUSTED_ROOT)
        return "is from an unknown authority" + insecure;
    if (trust & CERT_TRUST_IS_PARTIAL_CHAIN)
        return "does not link to a trusted authority: the server may not be sending its intermediate "
               "certificates, or its authority is unknown" + insecure;
    if (trust & CERT_TRUST_IS_NOT_TIME_VALID)
        return (leafOutOfDate ? "has expired or is not yet valid"
                              : "links through a certificate that has expired or is not yet valid") + insecure;
    if (status.dwError == DWORD(CERT_E_CN_NO_MATCH))
        return "is for another name" +
               std::string(numericHost(host) ? " (Wine and older Windows match a certificate's DNS names "
                                               "only, never its IP addresses: address the server by a DNS name "
                                               "that its certificate gives)"
                                             : "") + insecure;
    if (trust & CERT_TRUST_IS_REVOKED)
        return "is revoked";
    switch (status.dwError) {
    case DWORD(CERT_E_UNTRUSTEDROOT):
    case DWORD(CERT_E_CHAINING): return "is from an unknown authority" + insecure;
    case DWORD(CERT_E_EXPIRED): return "has expired or is not yet valid" + insecure;
    case DWORD(CERT_E_WRONG_USAGE): return "is not for a server" + insecure;
    case DWORD(CERT_E_REVOKED): return "is revoked";
    case 0: return "checks out, yet the TLS handshake failed";
    }
    return "is refused by the system's checks";
}

static std::string refusedCertificate(const HttpUrl& url, int timeoutMilliseconds)
{
    const CERT_CONTEXT* certificate = serverCertificate(url, proxySetting, timeoutMilliseconds);
    if (!certificate)
        return "the TLS handshake failed";
    std::string reason = "the server's certificate " + verdict(certificate, url.host);
    CertFreeCertificateContext(certificate);
    return reason;
}

// A WinHTTP error in words: the ones a server or a network causes by name,
// a refused certificate with its reason.
static std::string failure(DWORD error, const HttpUrl& url, DWORD deadline)
{
    switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT: return "cannot connect to " + hostAndPort(url);
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "unknown host " + hostAndPort(url);
    case ERROR_WINHTTP_CONNECTION_ERROR: return "the connection broke";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return "the server's answer is not HTTP";
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        return refusedCertificate(url, int(left(deadline)) + 1);
    }
    return "WinHTTP error " + std::to_string(error);
}

// A header of the answer as text, "" when absent (or past the buffer).
static std::string header(HINTERNET request, DWORD query)
{
    wchar_t text[2048];
    DWORD size = sizeof text;
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text, &size, WINHTTP_NO_HEADER_INDEX))
        return "";
    char narrow[2048 * 2];
    int length = WideCharToMultiByte(CP_ACP, 0, text, int(size / sizeof(wchar_t)), narrow, sizeof narrow,
                                     nullptr, nullptr);
    return std::string(narrow, size_t(length > 0 ? length : 0));
}

static void readHead(HINTERNET request, HttpAnswer& answer)
{
    answer.statusLine = header(request, WINHTTP_QUERY_VERSION) + " " +
                        header(request, WINHTTP_QUERY_STATUS_CODE);
    answer.status = atoi(header(request, WINHTTP_QUERY_STATUS_CODE).c_str());
    std::string reason = header(request, WINHTTP_QUERY_STATUS_TEXT);
    if (!reason.empty())
        answer.statusLine += " " + reason;
    answer.contentType = header(request, WINHTTP_QUERY_CONTENT_TYPE);
    answer.contentType.erase(answer.contentType.find_last_not_of("; \t", answer.contentType.find(';')) + 1);
    answer.location = header(request, WINHTTP_QUERY_LOCATION);
    std::string length = header(request, WINHTTP_QUERY_CONTENT_LENGTH);
    if (!length.empty() && length.find_first_not_of("0123456789") == std::string::npos && length.size() < 16)
        answer.announced = atoll(length.c_str());
}

// One exchange: method to address with the header lines and body, the
// whole answer back. Redirects are left to the caller; a failure is
// described in the answer's error.
static HttpAnswer exchange(const std::string& address, const std::string& method,
                           const std::vector<std::string>& headers, const std::string& body,
                           int timeoutSeconds)
{
    HttpAnswer answer;
    HttpUrl url;
    if (!parseHttpUrl(address, url)) {
        answer.error = "not an http or https address: " + address;
        return answer;
    }
    std::string seconds = std::to_string(timeoutSeconds) + " s";
    std::string noAnswer = "no answer from the server within " + seconds;
    DWORD deadline = GetTickCount() + DWORD(timeoutSeconds) * 1000;
    std::wstring verb(method.begin(), method.end());
    HINTERNET connection = WinHttpConnect(internet, url.host.c_str(), url.port, 0);
    HINTERNET request = connection ? WinHttpOpenRequest(connection, verb.c_str(), url.path.c_str(), nullptr,
                                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                        url.secure ? WINHTTP_FLAG_SECURE : 0)
                                   : nullptr;
    if (!request) {
        answer.error = failure(GetLastError(), url, deadline);
        WinHttpCloseHandle(connection);
        return answer;
    }
    Progress* progress = new Progress;
    progress->body = body;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(progress);
    WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
    DWORD redirects = WINHTTP_DISABLE_REDIRECTS;  // the caller follows them, visibly
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &redirects, sizeof redirects);
    int limit = timeoutSeconds * 1000;
    WinHttpSetTimeouts(request, limit, limit, limit, limit);
    if (acceptAnyCertificate) {
        DWORD ignore = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                       SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
        WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &ignore, sizeof ignore);
    }
    std::string lines;
    for (const std::string& line : headers)
        lines += line + "\r\n";
    std::wstring extra(lines.begin(), lines.end());
    DWORD error = 0;
    if (!lines.empty() && !WinHttpAddRequestHeaders(request, extra.c_str(), DWORD(extra.size()),
                                                     WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        answer.error = "WinHTTP refused the request's header lines (error " + std::to_string(GetLastError()) + ")";
    else if ((error = await(WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                               progress->body.empty() ? nullptr : &progress->body[0],
                                               DWORD(body.size()), DWORD(body.size()), context),
                            progress, deadline)))
        answer.error = error != ERROR_WINHTTP_TIMEOUT ? failure(error, url, deadline)
                       : progress->sent ? noAnswer
                                        : "cannot connect to " + hostAndPort(url) + " within " + seconds;
    else if ((error = await(WinHttpReceiveResponse(request, nullptr), progress, deadline)))
        answer.error = error == ERROR_WINHTTP_TIMEOUT ? noAnswer : failure(error, url, deadline);
    if (!answer.error.empty()) {
        WinHttpCloseHandle(request);
        WinHttpCloseHandle(connection);
        return answer;
    }
    readHead(request, answer);
    // Only what has come is read: Wine would hold a read until all of it
    // had come, however slowly.
    while (answer.error.empty()) {
        DWORD rest = left(deadline) + 1;  // 0 would be no time-out at all
        WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_TIMEOUT, &rest, sizeof rest);
        progress->bytes = 0;
        if ((error = await(WinHttpQueryDataAvailable(request, nullptr), progress, deadline)) || !progress->bytes)
            break;
        DWORD wanted = progress->bytes < sizeof progress->buffer ? progress->bytes : sizeof progress->buffer;
        progress->bytes = 0;
        if ((error = await(WinHttpReadData(request, progress->buffer, wanted, nullptr), progress, deadline)) ||
            !progress->bytes)
            break;
        if (answer.body.size() + progress->bytes > kMaxAnswer) {
            answer.error = "the answer is larger than " + std::to_string(kMaxAnswer >> 20) +
                           " MiB; the rest was not read";
            answer.cutShort = true;
            break;
        }
        answer.body.append(progress->buffer, progress->bytes);
    }
    std::string received = std::to_string(answer.body.size());
    if (error == ERROR_WINHTTP_TIMEOUT)
        answer.error = "the answer was not complete within " + seconds + " (" + received + " bytes came)";
    else if (answer.announced > (long long)answer.body.size())
        answer.error = "the server closed the connection after " + received + " of " +
                       std::to_string(answer.announced) + " bytes";
    else if (error)
        answer.error = failure(error, url, deadline);
    answer.cutShort = answer.cutShort || error || answer.announced > (long long)answer.body.size();
    WinHttpCloseHandle(request);
    WinHttpCloseHandle(connection);
    return answer;
}

static void noteAnswer(const HttpAnswer& answer)
{
    if (answer.status)
        transcriptNote("answer: " + answer.statusLine + ", " + std::to_string(answer.body.size()) +
                       " bytes of " + (answer.contentType.empty() ? "untyped data" : answer.contentType) +
                       ": " + quoted(answer.body, 300));
    if (!answer.error.empty())
        transcriptNote("HTTP failure: " + answer.error);
}

static bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

HttpAnswer httpGet(std::string& url, const std::string& referer, int timeoutSeconds)
{
    // As browsers do: a server can tell a request from its own pages from
    // one that another site's page makes.
    std::vector<std::string> headers;
    if (!referer.empty())
        headers.push_back("Referer: " + referer);
    for (int hops = 0;; hops++) {
        transcriptNote("GET " + url);
        HttpAnswer answer = exchange(url, "GET", headers, "", timeoutSeconds);
        noteAnswer(answer);
        if (!isRedirect(answer.status) || !answer.error.empty())
            return answer;
        std::string next = answer.location.empty() ? "" : resolveUrl(url, answer.location);
        if (next.empty())
            answer.error = "the answer " + answer.statusLine + " redirects to " + quoted(answer.location) +
                           ", not an http or https address";
        else if (hops == kMaxRedirects)
            answer.error = "more than " + std::to_string(kMaxRedirects) + " redirects; the last to " + next;
        if (!answer.error.empty()) {
            answer.status = 0;  // not a page: the failure is the redirect's
            transcriptNote("HTTP failure: " + answer.error);
            return answer;
        }
        transcriptNote("redirected to " + next);
        url = next;
    }
}

HttpAnswer httpPost(const std::string& url, const std::vector<std::string>& headers,
                    const std::string& body, int timeoutSeconds)
{
    // A redirect of a post is not followed: a browser would have to ask
    // before sending the report again, or turn it into a GET that loses it.
    transcriptNote("POST " + url + " with " + std::to_string(body.size()) + " body bytes");
    HttpAnswer answer = exchange(url, "POST", headers, body, timeoutSeconds);
    noteAnswer(answer);
    return answer;
}
