// Certificate contexts from crypt32 (CertDuplicateCertificateContext and friends): null means
// empty.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

#include <wincrypt.h>

struct CertContextTraits : HandleTraitsBase<PCCERT_CONTEXT, CertContextTraits>
{
    static PCCERT_CONTEXT Invalid() noexcept { return nullptr; }
    static void Close(PCCERT_CONTEXT h) noexcept { CertFreeCertificateContext(h); }
};
using CertContext = UniqueHandle<CertContextTraits>;
