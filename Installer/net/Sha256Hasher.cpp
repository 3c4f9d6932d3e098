#include "net/Sha256Hasher.h"

#include <memory>
#include <new>

namespace net {

namespace {

bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

} // namespace

CSha256Hasher::~CSha256Hasher()
{
    Release();
}

void CSha256Hasher::Release() noexcept
{
    if (m_hHash)
        BCryptDestroyHash(m_hHash);
    m_hHash = nullptr;
    if (m_hAlgorithm)
        BCryptCloseAlgorithmProvider(m_hAlgorithm, 0);
    m_hAlgorithm = nullptr;
}

bool CSha256Hasher::Begin()
{
    Release();
    if (!Succeeded(BCryptOpenAlgorithmProvider(&m_hAlgorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return false;
    DWORD objectLength = 0;
    ULONG written = 0;
    if (!Succeeded(BCryptGetProperty(m_hAlgorithm, BCRYPT_OBJECT_LENGTH,
                                     reinterpret_cast<PUCHAR>(&objectLength), sizeof objectLength,
                                     &written, 0)))
        return false;
    m_object.assign(objectLength, 0);
    return Succeeded(
        BCryptCreateHash(m_hAlgorithm, &m_hHash, m_object.data(), objectLength, nullptr, 0, 0));
}

bool CSha256Hasher::Update(const void* data, unsigned long size)
{
    if (!m_hHash)
        return false;
    if (size == 0)
        return true;
    return Succeeded(
        BCryptHashData(m_hHash, static_cast<PUCHAR>(const_cast<void*>(data)), size, 0));
}

bool CSha256Hasher::Finish(Sha256Digest& digest)
{
    if (!m_hHash)
        return false;
    const bool ok =
        Succeeded(BCryptFinishHash(m_hHash, digest.data(), static_cast<ULONG>(digest.size()), 0));
    Release();
    return ok;
}

bool HashOpenFile(HANDLE file, Sha256Digest& digest, HANDLE copyTo)
{
    constexpr DWORD kChunk = 1024 * 1024;
    const std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kChunk]);
    CSha256Hasher hasher;
    const LARGE_INTEGER start{};
    if (!buffer || !hasher.Begin() || !SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    for (;;)
    {
        DWORD got = 0;
        if (!ReadFile(file, buffer.get(), kChunk, &got, nullptr))
            return false;
        if (got == 0)
            return hasher.Finish(digest);
        DWORD written = 0;
        if (!hasher.Update(buffer.get(), got) ||
            (copyTo &&
             (!WriteFile(copyTo, buffer.get(), got, &written, nullptr) || written != got)))
            return false;
    }
}

} // namespace net
