// A PNG resource decoded by GDI+. The image reads from a stream over a private copy of the
// resource bytes; the stream (and with it the memory block) lives exactly as long as the image.
#pragma once

#include "framework/ComPtr.h"

#include <windows.h>
#include <gdiplus.h>
#include <objidl.h>

#include <memory>

class CPngImage
{
public:
    // False when the resource is missing, cannot be loaded or does not decode.
    bool Load(UINT nId, const wchar_t* pszType) noexcept;
    Gdiplus::Image* get() const noexcept { return m_image.get(); }

private:
    ComPtr<IStream> m_stream;
    std::unique_ptr<Gdiplus::Image> m_image; // declared last: released before its stream
};
