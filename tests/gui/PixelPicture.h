// A top-down 32-bit picture in memory that tests read back pixel by pixel: GDI draws into it,
// or it holds a copy of the screen. The window tests and the GDI tests share it.
#pragma once

#include "framework/GdiObject.h"
#include "framework/GdiSelect.h"
#include "framework/MemoryDc.h"

#include <windows.h>

class CPixelPicture
{
public:
    CPixelPicture(int nWidth, int nHeight)
        : m_nWidth(nWidth), m_nHeight(nHeight), m_bitmap(NewBitmap(nWidth, nHeight, m_pBits)),
          m_dc(CreateCompatibleDC(nullptr)), m_select(m_dc.get(), m_bitmap.get())
    {
    }
    CPixelPicture(const CPixelPicture&) = delete;
    CPixelPicture& operator=(const CPixelPicture&) = delete;

    HDC dc() const { return m_dc.get(); }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

    // CLR_INVALID outside the picture.
    COLORREF At(int x, int y) const
    {
        if (!m_pBits || x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
            return CLR_INVALID;
        GdiFlush(); // GDI may still hold drawing calls in its batch
        const DWORD v = m_pBits[static_cast<size_t>(y) * m_nWidth + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

private:
    static HBITMAP NewBitmap(int nWidth, int nHeight, const DWORD*& pBits)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = nWidth;
        info.bmiHeader.biHeight = -nHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* pvBits = nullptr;
        HBITMAP hBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pvBits, nullptr, 0);
        pBits = static_cast<const DWORD*>(pvBits);
        return hBitmap;
    }

    int m_nWidth;
    int m_nHeight;
    const DWORD* m_pBits = nullptr; // before m_bitmap: NewBitmap sets it
    UniqueBitmap m_bitmap;
    UniqueMemoryDc m_dc;
    CSelectObject m_select;
};
