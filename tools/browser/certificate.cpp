// Why a server's certificate was refused. Wine's WinHTTP reports every
// refusal as a failed TLS handshake, Windows' as flags: either way the
// certificate is fetched again with the checks off, by a HEAD request that
// carries nothing of the exchange, and checked here as the system would.
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include "http.h"

static std::string verdict(const CERT_CONTEXT* certificate, const std::wstring& host)
{
    CERT_CHAIN_PARA chainPara = {};
    chainPara.cbSize = sizeof chainPara;
    const CERT_CHAIN_CONTEXT* chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara, 0,
                                 nullptr, &chain))
        return "its chain could not be built";
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
    switch (status.dwError) {
    case DWORD(CERT_E_UNTRUSTEDROOT):
    case DWORD(CERT_E_CHAINING): return "is from an unknown authority" + insecure;
    case DWORD(CERT_E_CN_NO_MATCH): return "is for another name" + insecure;
    case DWORD(CERT_E_EXPIRED): return "has expired or is not yet valid" + insecure;
    case DWORD(CERT_E_WRONG_USAGE): return "is not for a server" + insecure;
    case DWORD(CERT_E_REVOKED): return "is revoked";
    case 0: return "checks out, yet the TLS handshake failed";
    }
    return "is refused by the system's checks";
}

std::string refusedCertificate(void* checker, const HttpUrl& url, int timeoutMilliseconds)
{
    std::string reason = "the TLS handshake failed, and the certificate could not be had for a closer look";
    HINTERNET connection = WinHttpConnect(checker, url.host.c_str(), url.port, 0);
    HINTERNET request = connection ? WinHttpOpenRequest(connection, L"HEAD", url.path.c_str(), nullptr,
                                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                        WINHTTP_FLAG_SECURE)
                                   : nullptr;
    DWORD ignore = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                   SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
    const CERT_CONTEXT* certificate = nullptr;
    DWORD size = sizeof certificate;
    if (request && WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &ignore, sizeof ignore) &&
        WinHttpSetTimeouts(request, timeoutMilliseconds, timeoutMilliseconds, timeoutMilliseconds,
                           timeoutMilliseconds) &&
        WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) &&
        WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size) && certificate) {
        reason = "the server's certificate " + verdict(certificate, url.host);
        CertFreeCertificateContext(certificate);
    }
    WinHttpCloseHandle(request);
    WinHttpCloseHandle(connection);
    return reason;
}
