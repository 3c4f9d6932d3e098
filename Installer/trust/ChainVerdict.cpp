#include "trust/ChainVerdict.h"

ChainVerdict JudgeSignerChain(unsigned long errorStatus)
{
    if (errorStatus & kChainIsRevoked)
        return ChainVerdict::Revoked;
    const unsigned long unknown = kChainRevocationUnknown | kChainOfflineRevocation;
    if (errorStatus & ~unknown)
        return ChainVerdict::Untrusted;
    return errorStatus ? ChainVerdict::TrustedRevocationUnknown : ChainVerdict::Trusted;
}
