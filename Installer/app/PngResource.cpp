#include "app/PngResource.h"

#include "app/Layout.h"
#include "framework/GdiSelect.h"
#include "framework/GlobalMemory.h"
#include "framework/MemoryDc.h"
#include "framework/WindowDc.h"

#include <chrono>
#include <cstring>
#include <thread>

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

namespace {
// The banner as DrawBackground places it, on the background's colour.
void DrawTile(UINT nId, COLORREF background, UniqueBitmap& bitmap, SIZE& image) noexcept
{
    CPngImage banner;
    if (!banner.Load(nId, L"PNG"))
        return;
    image = {static_cast<LONG>(banner.get()->GetWidth()),
             static_cast<LONG>(banner.get()->GetHeight())};
    const PixelRect r = BannerRect(0, image.cx, image.cy);
    const CWindowDc screen(nullptr);
    UniqueMemoryDc memoryDc(screen ? ::CreateCompatibleDC(screen.get()) : nullptr);
    UniqueBitmap drawn(memoryDc ? ::CreateCompatibleBitmap(screen.get(), r.width, r.height)
                                : nullptr);
    if (!drawn)
        return;
    {
        CSelectObject selectBitmap(memoryDc.get(), drawn.get());
        const RECT all{0, 0, r.width, r.height};
        UniqueBrush brush(::CreateSolidBrush(background));
        ::FillRect(memoryDc.get(), &all, brush.get());
        Gdiplus::Graphics graphics(memoryDc.get());
        graphics.DrawImage(banner.get(), Gdiplus::Rect(0, 0, r.width, r.height));
    }
    bitmap = std::move(drawn);
}
} // namespace

CBannerTile::CBannerTile(UINT nId, COLORREF background) noexcept
{
    try
    {
        m_state = std::make_shared<State>();
        std::thread([state = m_state, nId, background] {
            UniqueBitmap bitmap;
            SIZE image{};
            const Gdiplus::GdiplusStartupInput input;
            ULONG_PTR token = 0;
            if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok)
            {
                DrawTile(nId, background, bitmap, image);
                Gdiplus::GdiplusShutdown(token);
            }
            if (!bitmap)
                ::OutputDebugStringA("The banner could not be drawn: the window has none\r\n");
            std::lock_guard<std::mutex> lock(state->mutex);
            state->bitmap = std::move(bitmap);
            state->image = image;
            state->bDone = true;
            state->done.notify_all();
        }).detach();
    }
    catch (...)
    {
        ::OutputDebugStringA("The banner's worker could not start: the window has none\r\n");
        m_state.reset();
    }
}

CBannerTile::Tile CBannerTile::Wait(DWORD nTimeoutMs, bool& bReady) const noexcept
{
    bReady = true;
    if (!m_state)
        return {};
    std::unique_lock<std::mutex> lock(m_state->mutex);
    bReady = m_state->done.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                                    [&] { return m_state->bDone; });
    return bReady ? Tile{m_state->bitmap.get(), m_state->image} : Tile{};
}
