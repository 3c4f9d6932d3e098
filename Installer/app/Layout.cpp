#include "app/Layout.h"

#include <algorithm>

const int g_nButtonHeight = 46;
const int g_nWindowWidth = 420;
const int g_nWindowHeight = kWindowHeightWithoutCommands + kCommandCount * kWindowHeightPerCommand;

MainLayoutPlan PlanMainLayout(const OfferSet& offers)
{
    MainLayoutPlan plan;
    plan.nWindowHeight = g_nWindowHeight;
    for (const CommandRow& row : g_commandTable)
    {
        if (offers[static_cast<int>(row.command)])
        {
            plan.shownButtons.push_back(row.nButtonId);
            plan.shownCommands.push_back(row.command);
            if (row.nBarId != 0)
                plan.shownBars.push_back(row.nBarId);
        }
        else
        {
            plan.nWindowHeight -= kWindowHeightPerCommand;
            plan.hiddenButtons.push_back(row.nButtonId);
            if (row.nBarId != 0)
                plan.hiddenBars.push_back(row.nBarId);
        }
    }
    return plan;
}

static int SlotStart()
{
    return 2 * g_nButtonHeight + 15;
}

int ButtonSlotTop(int nSlot, int nTextHeight)
{
    return SlotStart() + nSlot * (g_nButtonHeight + nTextHeight);
}

int ProgressSlotTop(int nSlot, int nTextHeight)
{
    return SlotStart() + (nSlot + 2) * g_nButtonHeight + (nSlot + 1) * nTextHeight + 5;
}

int StatusLineTop(int nLowestBottom, int nClientHeight, int nStatusHeight)
{
    const int nGap = 5;
    int nTop = nLowestBottom + nGap;
    if (nTop + nStatusHeight > nClientHeight)
        nTop = std::max(nClientHeight - nStatusHeight, nLowestBottom);
    // Even when the column itself overflows, the first line must stay visible.
    return std::max(0, std::min(nTop, nClientHeight - 1));
}

MainPlacement PlaceMainControls(const MainLayoutPlan& plan, int nClientWidth, int nClientHeight,
                                int nTextHeight)
{
    MainPlacement placement;
    const int x = (nClientWidth - kColumnWidth) / 2;
    int nLowest = SlotStart();
    for (size_t i = 0; i < plan.shownButtons.size(); ++i)
    {
        PixelRect r{x, ButtonSlotTop(static_cast<int>(i), nTextHeight), kColumnWidth,
                    g_nButtonHeight};
        nLowest = std::max(nLowest, r.Bottom());
        placement.buttons.push_back(r);
    }
    for (size_t j = 0; j < plan.shownBars.size(); ++j)
    {
        PixelRect r{x, ProgressSlotTop(static_cast<int>(j), nTextHeight), kColumnWidth,
                    nTextHeight / 2};
        nLowest = std::max(nLowest, r.Bottom());
        placement.bars.push_back(r);
    }
    const int nStatusHeight = 3 * nTextHeight;
    placement.status = {x, StatusLineTop(nLowest, nClientHeight, nStatusHeight), kColumnWidth,
                        nStatusHeight};
    return placement;
}

float DensityScale(int nDpi)
{
    return static_cast<float>(nDpi / 96.0);
}

int FontPointTenths(float fScale)
{
    if (!(fScale > 0.0f))
        return 150;
    return static_cast<int>(150.0 / fScale);
}

PixelRect BannerRect(int nClientWidth, int nImageWidth, int nImageHeight)
{
    const double w = nImageWidth * 0.85;
    const double h = nImageHeight * 0.85;
    return {static_cast<int>((nClientWidth - w) / 2), kBannerTop, static_cast<int>(w),
            static_cast<int>(h)};
}

int OkButtonLeft(int nClientWidth)
{
    return (nClientWidth - kOkButtonWidth) / 2;
}

std::wstring MakeWindowCaption(const std::wstring& version)
{
    return L"USB Bluetooth Wireless Adapter (" + version + L")";
}
