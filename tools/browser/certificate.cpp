// Why a server's certificate was refused. Wine's WinHTTP reports every
// refusal as a failed TLS channel, Windows' as flags: either way the
// certificate is taken by a handshake of its own (tls_look.cpp) and its chain
// read here. The chain's trust status comes first: Wine's SSL policy check
// passes a chain that does not reach a root, which is the commonest mistake.
#include <windows.h>
#include <wincrypt.h>

#include "http.h"

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

std::string refusedCertificate(const HttpUrl& url, const std::string& proxy, int timeoutMilliseconds)
{
    const CERT_CONTEXT* certificate = serverCertificate(url, proxy, timeoutMilliseconds);
    if (!certificate)
        return "the TLS handshake failed";
    std::string reason = "the server's certificate " + verdict(certificate, url.host);
    CertFreeCertificateContext(certificate);
    return reason;
}
