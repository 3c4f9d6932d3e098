#pragma once
// Window arithmetic of the installer's two dialogs, in device pixels. No windows.h here: the
// numbers are checked natively.

#include "localisation/WordTable.h"
#include "res/resource.h"
#include "workflows/Commands.h"

#include <array>
#include <string>
#include <vector>

// Process-wide layout settings.
extern const int g_nButtonHeight; // height of a button and of a button slot
extern const int g_nWindowWidth;  // outer width of the main window
extern const int g_nWindowHeight; // outer height with every command offered

constexpr int kColumnWidth = 318;
constexpr int kWindowHeightPerCommand = 60;
constexpr int kWindowHeightWithoutCommands = 220; // the banner and the status line
constexpr int kOkButtonWidth = 92;
constexpr int kOkButtonHeight = 36;
constexpr int kOkButtonTop = 70;
constexpr int kBannerTop = 13;

struct PixelRect
{
    int x = 0, y = 0, width = 0, height = 0;
    int Bottom() const { return y + height; }
    bool operator==(const PixelRect& o) const
    {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

// Which controls the window places and which it hides, and how tall it is.
struct MainLayoutPlan
{
    int nWindowHeight = 0;
    std::vector<int> shownButtons, hiddenButtons, shownBars, hiddenBars; // control ids
    std::vector<Command> shownCommands;                                  // parallel to shownButtons
};
MainLayoutPlan PlanMainLayout(const OfferSet& offers);

int ButtonSlotTop(int nSlot, int nTextHeight);
int ProgressSlotTop(int nSlot, int nTextHeight);

// Where every placed control goes once the client size is known.
struct MainPlacement
{
    std::vector<PixelRect> buttons; // parallel to plan.shownButtons
    std::vector<PixelRect> bars;    // parallel to plan.shownBars
    PixelRect status;
};
MainPlacement PlaceMainControls(const MainLayoutPlan& plan, int nClientWidth, int nClientHeight,
                                int nTextHeight);

// The status line goes just below the lowest placed control and stays inside the client area.
int StatusLineTop(int nLowestBottom, int nClientHeight, int nStatusHeight);

// Tenths of a point for a font of about 20 pixels at any density (scale = dpi / 96).
int FontPointTenths(float fScale);
float DensityScale(int nDpi);

// The banner, scaled to 85% and centred horizontally, 13 pixels below the top.
PixelRect BannerRect(int nClientWidth, int nImageWidth, int nImageHeight);

// x of the message dialog's OK button.
int OkButtonLeft(int nClientWidth);

std::wstring MakeWindowCaption(const std::wstring& version);
