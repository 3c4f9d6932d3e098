// Windows' verdict on the programs the build signs: signed-dist/ is dist/ signed by the build's
// signing script with the test code-signing certificate, whose CA the test prefixes trust.
#include "framework/FileHandle.h"
#include "framework/UniqueHandle.h"
#include "trust/SignerCheck.h"

#include <windows.h>

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <gtest/gtest.h>

#include <string>

namespace {
std::wstring EnvText(const wchar_t* pszName)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(pszName, value, MAX_PATH);
    return n && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

struct Verdict
{
    LONG nStatus = 0;
    std::wstring signer;             // common name of the signer's certificate
    DWORD dwChainErrors = ~DWORD(0); // TrustStatus.dwErrorStatus of the signer's chain
    DWORD dwPolicyError = ~DWORD(0); // the Authenticode policy's verdict on that chain
};

Verdict Verify(const std::wstring& path)
{
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const HWND hNoUser = static_cast<HWND>(INVALID_HANDLE_VALUE);

    Verdict v;
    v.nStatus = WinVerifyTrust(hNoUser, &action, &data);
    const ScopeExit close([&] {
        data.dwStateAction = WTD_STATEACTION_CLOSE;
        WinVerifyTrust(hNoUser, &action, &data);
    });
    CRYPT_PROVIDER_DATA* pProvider = WTHelperProvDataFromStateData(data.hWVTStateData);
    CRYPT_PROVIDER_SGNR* pSigner =
        pProvider ? WTHelperGetProvSignerFromChain(pProvider, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* pCert = pSigner ? WTHelperGetProvCertFromChain(pSigner, 0) : nullptr;
    if (!pCert)
        return v;
    wchar_t name[256] = {};
    CertGetNameStringW(pCert->pCert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(szOID_COMMON_NAME),
                       name, ARRAYSIZE(name));
    v.signer = name;

    // Wine's WinVerifyTrust passes whatever the root; the chain says whether it is trusted.
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    PCCERT_CHAIN_CONTEXT pChain = nullptr;
    if (!CertGetCertificateChain(nullptr, pCert->pCert, nullptr, nullptr, &chainPara, 0, nullptr,
                                 &pChain))
        return v;
    const ScopeExit freeChain([&] { CertFreeCertificateChain(pChain); });
    v.dwChainErrors = pChain->TrustStatus.dwErrorStatus;
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, pChain, &policy, &status))
        v.dwPolicyError = status.dwError;
    return v;
}

std::wstring SignedInstaller()
{
    return EnvText(L"KVZ_SIGNED_DIST_DIR") + L"\\Installer.exe";
}

TEST(EnvSignature, SignedInstallerIsTrustedAndNamesItsSigner)
{
    ASSERT_FALSE(EnvText(L"KVZ_SIGNED_DIST_DIR").empty()) << "KVZ_SIGNED_DIST_DIR not set";
    const Verdict v = Verify(SignedInstaller());
    EXPECT_EQ(0, v.nStatus) << std::hex << v.nStatus;
    EXPECT_EQ(EnvText(L"KVZ_EXPECT_SIGNER"), v.signer);
    EXPECT_EQ(0u, v.dwChainErrors)
        << "the chain to the test CA is not trusted: " << std::hex << v.dwChainErrors;
    EXPECT_EQ(0u, v.dwPolicyError) << std::hex << v.dwPolicyError;
}

TEST(EnvSignature, UnsignedInstallerHasNoSignature)
{
    if (EnvText(L"KVZ_DIST_SIGNED") == L"1")
        GTEST_SKIP() << "this build tree signs dist/ itself";
    const LONG nStatus = Verify(EnvText(L"KVZ_DIST_DIR") + L"\\Installer.exe").nStatus;
    EXPECT_EQ(TRUST_E_NOSIGNATURE, nStatus) << std::hex << nStatus;
}

// The installer names its held file to WinVerifyTrust by the handle and by a path; what is
// judged must be what the handle holds, whatever the path names by then.
TEST(EnvSignature, TheSignerIsReadThroughTheHandleNotThePath)
{
    const std::wstring program = SignedInstaller();
    const std::wstring text = EnvText(L"KVZ_SIGNED_DIST_DIR") + L"\\data\\translation.json";
    const auto open = [](const std::wstring& path) {
        return FileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    };
    const FileHandle signedProgram = open(program);
    const FileHandle notAProgram = open(text);
    ASSERT_TRUE(signedProgram && notAProgram);
    SignerIdentity signer;
    EXPECT_TRUE(ReadTrustedSigner(signedProgram.get(), text, signer));
    const std::wstring expected = EnvText(L"KVZ_EXPECT_SIGNER");
    EXPECT_EQ(std::string(expected.begin(), expected.end()), signer.commonName);
    EXPECT_FALSE(ReadTrustedSigner(notAProgram.get(), program, signer));
}

TEST(EnvSignature, OneChangedByteBreaksTheDigest)
{
    const std::wstring copy = EnvText(L"KVZ_TEST_TMP") + L"\\Installer.exe";
    ASSERT_TRUE(CopyFileW(SignedInstaller().c_str(), copy.c_str(), FALSE));
    {
        const FileHandle file(CreateFileW(copy.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file);
        // Inside the program's sections: far from the headers and the signature at the end.
        const LONG nOffset = static_cast<LONG>(GetFileSize(file.get(), nullptr) / 2);
        BYTE byte = 0;
        DWORD n = 0;
        SetFilePointer(file.get(), nOffset, nullptr, FILE_BEGIN);
        ASSERT_TRUE(ReadFile(file.get(), &byte, 1, &n, nullptr) && n == 1);
        byte ^= 0xFF;
        SetFilePointer(file.get(), nOffset, nullptr, FILE_BEGIN);
        ASSERT_TRUE(WriteFile(file.get(), &byte, 1, &n, nullptr) && n == 1);
    }
    const LONG nStatus = Verify(copy).nStatus;
    EXPECT_EQ(TRUST_E_BAD_DIGEST, nStatus) << std::hex << nStatus;
}
} // namespace
