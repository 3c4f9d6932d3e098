#pragma once
// SHA-256 through Windows CNG, fed chunk by chunk while a file is written.

#include "net/Sha256Digest.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

namespace net {

class CSha256Hasher
{
public:
    CSha256Hasher() = default;
    ~CSha256Hasher();
    CSha256Hasher(const CSha256Hasher&) = delete;
    CSha256Hasher& operator=(const CSha256Hasher&) = delete;

    bool Begin();
    bool Update(const void* data, unsigned long size);
    // Ends the hash; Begin starts a new one.
    bool Finish(Sha256Digest& digest);

private:
    void Release() noexcept;

    BCRYPT_ALG_HANDLE m_hAlgorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hHash = nullptr;
    // Windows 7 wants the caller to provide the hash object's memory.
    std::vector<UCHAR> m_object;
};

// The digest of everything `file` holds, read through that handle from its first byte; with
// `copyTo`, every byte hashed is also written there, so the copy is what was hashed.
bool HashOpenFile(HANDLE file, Sha256Digest& digest, HANDLE copyTo = nullptr);

} // namespace net
