// Certificate chains from CertGetCertificateChain: null means empty.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

#include <wincrypt.h>

struct CertChainTraits : HandleTraitsBase<PCCERT_CHAIN_CONTEXT, CertChainTraits>
{
    static PCCERT_CHAIN_CONTEXT Invalid() noexcept { return nullptr; }
    static void Close(PCCERT_CHAIN_CONTEXT h) noexcept { CertFreeCertificateChain(h); }
};
using CertChain = UniqueHandle<CertChainTraits>;
