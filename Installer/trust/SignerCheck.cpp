#include "trust/SignerCheck.h"

#include "framework/CertChain.h"
#include "framework/CertContext.h"
#include "framework/UniqueHandle.h"
#include "localisation/TextEncoding.h"
#include "log/SupportLog.h"
#include "net/Sha256Hasher.h"
#include "trust/ChainVerdict.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

static_assert(kChainIsRevoked == CERT_TRUST_IS_REVOKED);
static_assert(kChainRevocationUnknown == CERT_TRUST_REVOCATION_STATUS_UNKNOWN);
static_assert(kChainOfflineRevocation == CERT_TRUST_IS_OFFLINE_REVOCATION);

namespace {

// For all revocation lists of one chain together: a revocation server that does not answer
// holds a start up no longer than this.
constexpr DWORD kRevocationTimeoutMs = 10000;

void Report(const char* what, unsigned long code)
{
    char line[128];
    std::snprintf(line, sizeof(line), "Signature check: %s (0x%08lX)\r\n", what, code);
    OutputDebugStringA(line);
    std::snprintf(line, sizeof(line), "Signature check: %s (0x%08lX)", what, code);
    LogEvent(std::wstring(line, line + std::strlen(line)));
}

bool SpkiSha256(PCCERT_CONTEXT cert, Sha256Bytes& digest)
{
    DWORD size = 0;
    CERT_PUBLIC_KEY_INFO* info = &cert->pCertInfo->SubjectPublicKeyInfo;
    if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, info, 0, nullptr, nullptr,
                             &size))
        return false;
    std::vector<BYTE> der(size);
    if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, info, 0, nullptr, der.data(),
                             &size))
        return false;
    net::CSha256Hasher hasher;
    return hasher.Begin() && hasher.Update(der.data(), size) && hasher.Finish(digest);
}

std::string CommonName(PCCERT_CONTEXT cert)
{
    char* oid = const_cast<char*>(szOID_COMMON_NAME);
    const DWORD length = CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, oid, nullptr, 0);
    if (length <= 1)
        return std::string();
    std::wstring wide(length, L'\0');
    CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, oid, &wide[0], length);
    wide.resize(length - 1);
    return WideToUtf8(wide);
}

// crypt32 loads cryptnet to fetch revocation lists and unloads it after each check, while a
// WinINet callback of that fetch may still be due (Wine 8 then jumps into the freed DLL and the
// process dies): kept loaded, from the system folder, for the life of the process.
void KeepRevocationFetcherLoaded() noexcept
{
    static const bool s_bKept = [] {
        wchar_t folder[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return false;
        HMODULE module =
            LoadLibraryExW((std::wstring(folder) + L"\\cryptnet.dll").c_str(), nullptr, 0);
        return module &&
               GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"cryptnet.dll", &module);
    }();
    (void)s_bKept;
}

} // namespace

bool ReadTrustedSigner(HANDLE file, const std::wstring& path, SignerIdentity& signer)
{
    KeepRevocationFetcherLoaded();
    WINTRUST_FILE_INFO fileInfo = {};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = path.c_str();
    fileInfo.hFile = file;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    // The signature only: revocation is judged on the chain below, where an unknown answer
    // (a revocation server out of reach) does not keep a driver from installing.
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    const HWND noUser = static_cast<HWND>(INVALID_HANDLE_VALUE);
    const LONG status = WinVerifyTrust(noUser, &action, &data);
    ScopeExit close([&] {
        data.dwStateAction = WTD_STATEACTION_CLOSE;
        WinVerifyTrust(noUser, &action, &data);
    });
    if (status != 0)
    {
        Report("the signature does not verify", static_cast<unsigned long>(status));
        return false;
    }

    CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* signerInfo =
        provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* signerCert =
        signerInfo ? WTHelperGetProvCertFromChain(signerInfo, 0) : nullptr;
    if (!signerCert || !signerCert->pCert)
    {
        Report("no signer certificate", 0);
        return false;
    }
    const CertContext cert(CertDuplicateCertificateContext(signerCert->pCert));

    // Wine's WinVerifyTrust accepts any root; the chain says whether this machine trusts it.
    // Built as of the time the signature was verified for, so a timestamped signature outlives
    // its certificate as it does for WinVerifyTrust.
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_CODE_SIGNING)};
    // Windows 7's size of the structure, with the retrieval time-out but without the later
    // strong-sign fields: every Windows since takes it, and Wine reads the time-out from
    // exactly this size only.
    CERT_CHAIN_PARA para = {};
    para.cbSize = offsetof(CERT_CHAIN_PARA, pStrongSignPara);
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    para.dwUrlRetrievalTimeout = kRevocationTimeoutMs;
    // Every certificate but the root is checked for revocation; a list the cache holds is used
    // as it is, others are fetched within the time-out, and without a network the cache's
    // answer (or none) stands.
    const DWORD flags =
        CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT;
    // The machine's engine: a root that only the user's own store holds (any program of the
    // user can add one there) vouches for nothing this elevated program starts.
    CertChain chain;
    if (!CertGetCertificateChain(HCCE_LOCAL_MACHINE, cert.get(), &signerInfo->sftVerifyAsOf,
                                 cert.get()->hCertStore, &para, flags, nullptr, chain.put()))
    {
        Report("no chain", GetLastError());
        return false;
    }
    // A revocation is known wherever in the chain it was found.
    DWORD chainStatus = chain.get()->TrustStatus.dwErrorStatus;
    for (DWORD i = 0; i < chain.get()->cChain; ++i)
    {
        const CERT_SIMPLE_CHAIN* simple = chain.get()->rgpChain[i];
        chainStatus |= simple->TrustStatus.dwErrorStatus;
        for (DWORD j = 0; j < simple->cElement; ++j)
            chainStatus |= simple->rgpElement[j]->TrustStatus.dwErrorStatus;
    }
    switch (JudgeSignerChain(chainStatus))
    {
    case ChainVerdict::Trusted: break;
    case ChainVerdict::TrustedRevocationUnknown:
        Report("revocation unknown (offline or no revocation list), accepted", chainStatus);
        break;
    case ChainVerdict::Revoked:
        Report("revoked: a certificate of the signer's chain is revoked", chainStatus);
        return false;
    case ChainVerdict::Untrusted: Report("the chain is not trusted", chainStatus); return false;
    }
    if (!SpkiSha256(cert.get(), signer.spkiSha256))
    {
        Report("the public key could not be hashed", GetLastError());
        return false;
    }
    signer.commonName = CommonName(cert.get());
    return true;
}
