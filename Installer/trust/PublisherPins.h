#pragma once
// The publishers whose setup programs the installer may start elevated: the build's pin list
// and the match of a signer against it. No Windows here, so it builds natively.

#include "net/Sha256Digest.h"

#include <optional>
#include <string>
#include <vector>

using Sha256Bytes = net::Sha256Digest;

struct PublisherPin
{
    enum class Kind
    {
        Key,
        Name,
        Self
    };
    Kind kind = Kind::Key;
    Sha256Bytes key{}; // Key: SHA-256 of the certificate's DER SubjectPublicKeyInfo
    std::string name;  // Name: the subject common name, UTF-8, compared exactly
};

// A ";"-separated list (a CMake list) of `key:<64 hex digits>`, `name:<text>` and `self`.
// Empty text gives an empty list (nothing pinned); any malformed entry refuses the whole list,
// with a reason in `error`.
std::optional<std::vector<PublisherPin>> ParsePublisherPins(const std::string& list,
                                                            std::string* error = nullptr);

// Who signed a program, as read from its verified signature.
struct SignerIdentity
{
    Sha256Bytes spkiSha256{};
    std::string commonName; // UTF-8
};

// True when `signer` matches one of `pins`. `self` matches the key that signed the installer
// itself; when `self` is pinned and that key is unknown (an unsigned installer), nothing
// matches at all, so a build that relies on its own signature never starts a program unsigned.
bool SignerMatchesPins(const std::vector<PublisherPin>& pins, const SignerIdentity& signer,
                       const std::optional<Sha256Bytes>& selfKey);

bool PinsNameSelf(const std::vector<PublisherPin>& pins);
