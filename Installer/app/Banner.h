// The window's banner: decoded from its PNG resource and drawn at its size by a worker started
// with the program, so that the window's thread neither starts GDI+ nor decodes on its way to
// the screen; and the window's background, painted blue until the banner is there.
#pragma once

#include "framework/GdiObject.h"
#include "framework/WorkerResult.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>

class CBannerTile
{
public:
    // GDI+ is started on the worker and shut down again once the bitmap is drawn. The worker
    // shares only its result and is never joined.
    CBannerTile(UINT nId, COLORREF background) noexcept;

    struct Tile
    {
        UniqueBitmap bitmap; // the image at BannerRect's size; null: none
        SIZE image{};        // the PNG's own size, for BannerRect
    };
    // The tile once the worker has drawn it (or found it cannot); null before. Never waits.
    const Tile* Ready() const noexcept;
    // For other workers: waits up to `timeout`.
    void WaitFor(std::chrono::milliseconds timeout) const noexcept;
    // Calls `listener` on the worker once the tile is ready, or at once when it already is.
    void WhenReady(std::function<void()> listener) const noexcept;

private:
    std::shared_ptr<CWorkerResult<Tile>> m_result;
};

// The blue and the banner, drawn once into a bitmap of the client's size and copied from it.
class CBannerBackground
{
public:
    explicit CBannerBackground(const CBannerTile& banner) noexcept : m_banner(banner) {}
    // Paints `rc` (the client area) of `hDC`: blue alone while the banner is not ready.
    void Paint(HDC hDC, const RECT& rc) noexcept;

private:
    bool Draw(HDC hDC, int cx, int cy) noexcept;

    const CBannerTile& m_banner;
    UniqueBitmap m_background;
    SIZE m_size{};
};
