// A PNG resource decoded by GDI+. The image reads from a stream over a private copy of the
// resource bytes; the stream (and with it the memory block) lives exactly as long as the image.
// And the window's banner, drawn from one by a worker of its own.
#pragma once

#include "framework/ComPtr.h"
#include "framework/GdiObject.h"

#include <windows.h>
#include <gdiplus.h>
#include <objidl.h>

#include <condition_variable>
#include <memory>
#include <mutex>

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

// The banner scaled and drawn on `background` by a worker started with the program, so that the
// window's thread neither starts GDI+ nor decodes the PNG on its way to the screen; GDI+ is
// shut down again once the bitmap is drawn. The worker shares only the state below and is never
// joined.
class CBannerTile
{
public:
    CBannerTile(UINT nId, COLORREF background) noexcept;

    struct Tile
    {
        HBITMAP hBitmap = nullptr; // the image at BannerRect's size, stays the tile's; null: none
        SIZE image{};              // the PNG's own size, for BannerRect
    };
    // Waits up to `nTimeoutMs` for the worker. `bReady` false: it has not finished yet.
    Tile Wait(DWORD nTimeoutMs, bool& bReady) const noexcept;

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable done;
        bool bDone = false;
        UniqueBitmap bitmap;
        SIZE image{};
    };
    std::shared_ptr<State> m_state;
};
