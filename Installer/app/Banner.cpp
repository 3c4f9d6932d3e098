#include "app/Banner.h"

#include "app/Layout.h"
#include "app/WindowStyle.h"
#include "framework/ComPtr.h"
#include "framework/GdiSelect.h"
#include "framework/GlobalMemory.h"
#include "framework/MemoryDc.h"
#include "framework/WindowDc.h"

#include <gdiplus.h>
#include <objidl.h>

#include <cstring>
#include <thread>

namespace {
// A PNG resource decoded by GDI+. The image reads from a stream over a private copy of the
// resource bytes; the stream (and with it the memory block) lives exactly as long as the image.
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

// The banner as CBannerBackground places it, on the background's colour.
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
        m_result = std::make_shared<CWorkerResult<Tile>>();
        std::thread([result = m_result, nId, background] {
            Tile tile;
            const Gdiplus::GdiplusStartupInput input;
            ULONG_PTR token = 0;
            if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok)
            {
                DrawTile(nId, background, tile.bitmap, tile.image);
                Gdiplus::GdiplusShutdown(token);
            }
            if (!tile.bitmap)
                ::OutputDebugStringA("The banner could not be drawn: the window has none\r\n");
            result->Set(std::move(tile));
        }).detach();
    }
    catch (...)
    {
        ::OutputDebugStringA("The banner's worker could not start: the window has none\r\n");
        m_result.reset();
    }
}

const CBannerTile::Tile* CBannerTile::Ready() const noexcept
{
    static const Tile none;
    return m_result ? m_result->Get() : &none;
}

void CBannerTile::WaitFor(std::chrono::milliseconds timeout) const noexcept
{
    if (m_result)
        m_result->WaitFor(timeout);
}

void CBannerTile::WhenReady(std::function<void()> listener) const noexcept
{
    if (m_result)
        m_result->WhenSet(std::move(listener));
    else if (listener)
        listener();
}

void CBannerBackground::Paint(HDC hDC, const RECT& rc) noexcept
{
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if ((!m_background || m_size.cx != cx || m_size.cy != cy) && !Draw(hDC, cx, cy))
    {
        FillWindowBlue(hDC, rc);
        return;
    }
    UniqueMemoryDc memoryDc(::CreateCompatibleDC(hDC));
    if (!memoryDc)
        return;
    CSelectObject selectBitmap(memoryDc.get(), m_background.get());
    // The update region clips this to what needs painting, such as the status line alone.
    ::BitBlt(hDC, 0, 0, cx, cy, memoryDc.get(), 0, 0, SRCCOPY);
}

// False, with nothing cached, while the banner's worker has not finished.
bool CBannerBackground::Draw(HDC hDC, int cx, int cy) noexcept
{
    m_background.reset();
    const CBannerTile::Tile* banner = m_banner.Ready();
    if (!banner)
        return false;
    UniqueMemoryDc memoryDc(::CreateCompatibleDC(hDC));
    UniqueMemoryDc tileDc(::CreateCompatibleDC(hDC));
    UniqueBitmap bitmap(::CreateCompatibleBitmap(hDC, cx, cy));
    if (!memoryDc || !tileDc || !bitmap)
        return false;
    {
        CSelectObject selectBitmap(memoryDc.get(), bitmap.get());
        FillWindowBlue(memoryDc.get(), RECT{0, 0, cx, cy});
        if (banner->bitmap)
        {
            CSelectObject selectTile(tileDc.get(), banner->bitmap.get());
            const PixelRect r = BannerRect(cx, banner->image.cx, banner->image.cy);
            ::BitBlt(memoryDc.get(), r.x, r.y, r.width, r.height, tileDc.get(), 0, 0, SRCCOPY);
        }
    }
    m_background = std::move(bitmap);
    m_size = {cx, cy};
    return true;
}
