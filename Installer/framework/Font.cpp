#include "framework/Font.h"

#include "framework/WindowDc.h"

#include <cwchar>

UniqueFont CreatePointFont(int nPointTenths, const wchar_t* pszFaceName) noexcept
{
    LOGFONTW font{};
    {
        CWindowDc screen(nullptr);
        const int nDpi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
        // Height in pixels, negative: the character height without internal leading.
        font.lfHeight = -::MulDiv(nPointTenths, nDpi, 720);
    }
    font.lfCharSet = DEFAULT_CHARSET;
    std::wcsncpy(font.lfFaceName, pszFaceName, LF_FACESIZE - 1);
    return UniqueFont(::CreateFontIndirectW(&font));
}

int GetWindowDpi(HWND hWnd) noexcept
{
    CWindowDc dc(hWnd);
    return dc ? ::GetDeviceCaps(dc.get(), LOGPIXELSX) : 96;
}
