// Fonts by point size, as a dialog framework's point-font helper makes them.
#pragma once

#include "framework/GdiObject.h"

// A font of nPointTenths tenths of a point on the screen's vertical density.
UniqueFont CreatePointFont(int nPointTenths, const wchar_t* pszFaceName) noexcept;

// Horizontal pixels per logical inch of a window's device context (96 when unknown).
int GetWindowDpi(HWND hWnd) noexcept;
