#include "app/PngResource.h"

#include "framework/GlobalMemory.h"

#include <cstring>

bool CPngImage::Load(UINT nId, const wchar_t* pszType) noexcept
{
    m_image.reset();
    m_stream.reset();
    const HMODULE hModule = ::GetModuleHandleW(nullptr);
    const HRSRC hResource = ::FindResourceW(hModule, MAKEINTRESOURCEW(nId), pszType);
    if (!hResource)
        return false;
    const DWORD nSize = ::SizeofResource(hModule, hResource);
    const HGLOBAL hLoaded = ::LoadResource(hModule, hResource);
    const void* pBytes = hLoaded ? ::LockResource(hLoaded) : nullptr;
    if (!pBytes || nSize == 0)
        return false;

    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, nSize));
    if (!block)
        return false;
    void* pCopy = ::GlobalLock(block.get());
    if (!pCopy)
        return false;
    std::memcpy(pCopy, pBytes, nSize);
    ::GlobalUnlock(block.get());

    // The stream frees the block when it is released.
    if (FAILED(::CreateStreamOnHGlobal(block.get(), TRUE, m_stream.put())))
        return false;
    block.release();

    m_image.reset(Gdiplus::Image::FromStream(m_stream.get())); // GDI+ allocation: null, not a throw
    if (!m_image || m_image->GetLastStatus() != Gdiplus::Ok)
    {
        m_image.reset();
        m_stream.reset();
        return false;
    }
    return true;
}
