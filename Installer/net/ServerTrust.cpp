#include "net/ServerTrust.h"

#include "framework/CertChain.h"

#include <cwchar>

namespace net {

namespace {

std::wstring Hex(unsigned long value)
{
    wchar_t text[16] = {};
    std::swprintf(text, 16, L"0x%08lX", value);
    return text;
}

bool IsTrustedByMachine(PCCERT_CONTEXT leaf, HCERTSTORE presented, const std::wstring& host,
                        std::wstring& why)
{
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para = {};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    CertChain chain;
    if (!CertGetCertificateChain(HCCE_LOCAL_MACHINE, leaf, nullptr, presented, &para, 0, nullptr,
                                 chain.put()))
    {
        why = L"no chain (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    const DWORD status = chain.get()->TrustStatus.dwErrorStatus;
    if (status != CERT_TRUST_NO_ERROR)
    {
        why = L"chain status " + Hex(status);
        return false;
    }
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA policy = {};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS verdict = {};
    verdict.cbSize = sizeof verdict;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &verdict))
    {
        why = L"no SSL policy (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    if (verdict.dwError != 0)
    {
        why = L"SSL policy " + Hex(verdict.dwError);
        return false;
    }
    return true;
}

} // namespace

bool IsServerTrustedByMachine(HINTERNET request, const std::wstring& host, std::wstring& why)
{
    CertChain presented;
    DWORD size = sizeof(PCCERT_CHAIN_CONTEXT);
    if (!InternetQueryOptionW(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, presented.put(),
                              &size) ||
        !presented)
    {
        why = L"WinINet gave no certificate chain (error " + std::to_wstring(GetLastError()) + L")";
        return false;
    }
    const CERT_CHAIN_CONTEXT& chain = *presented.get();
    if (chain.cChain == 0 || chain.rgpChain[0]->cElement == 0)
    {
        why = L"WinINet gave an empty certificate chain";
        return false;
    }
    // The leaf's own store holds what the server sent; the chain WinINet built also holds
    // the roots it found, the user's among them.
    const PCCERT_CONTEXT leaf = chain.rgpChain[0]->rgpElement[0]->pCertContext;
    return IsTrustedByMachine(leaf, leaf->hCertStore, host, why);
}

} // namespace net
