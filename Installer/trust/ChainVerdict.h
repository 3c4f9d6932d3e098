#pragma once
// What the installer makes of the signer's chain as Windows built it, revocation included. The
// chain's status bits are passed in, so any answer Windows (or Wine) gives can be judged here.
// No Windows here, so it builds natively.

// The bits of CERT_TRUST_STATUS::dwErrorStatus read here, with wincrypt.h's values
// (SignerCheck.cpp checks that they agree).
constexpr unsigned long kChainIsRevoked = 0x00000004;         // CERT_TRUST_IS_REVOKED
constexpr unsigned long kChainRevocationUnknown = 0x00000040; // ..._REVOCATION_STATUS_UNKNOWN
constexpr unsigned long kChainOfflineRevocation = 0x01000000; // ..._IS_OFFLINE_REVOCATION

enum class ChainVerdict
{
    Trusted,                  // and not revoked, as far as revocation was asked
    TrustedRevocationUnknown, // nobody could say whether it was revoked (offline, no list)
    Revoked,                  // a certificate of the chain is known to be revoked
    Untrusted,                // any other fault: root, time, signature, usage, partial chain
};

// `errorStatus`: the chain's status bits, with those of its elements added. A known
// revocation refuses whatever else the chain says; an unknown one alone does not, so a machine
// without a network or a revocation server out of reach still installs.
ChainVerdict JudgeSignerChain(unsigned long errorStatus);
