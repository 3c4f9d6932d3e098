#include "app/Layout.h"
#include "app/WorkerRequests.h"
#include "framework/WorkerResult.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {
OfferSet Offers(bool bWifi, bool bBluetooth, bool bHotspot, bool bReceiver)
{
    return {bWifi, bBluetooth, bHotspot, bReceiver};
}

// --- Which controls are placed, which hidden, and the window height -------------------

struct PlanCase
{
    const char* name;
    OfferSet offers;
    int nWindowHeight;
    std::vector<int> shownButtons, hiddenButtons, shownBars, hiddenBars;
};

class PlanCases : public ::testing::TestWithParam<PlanCase>
{
};

TEST_P(PlanCases, SortsControlsInCommandOrder)
{
    const PlanCase& c = GetParam();
    const MainLayoutPlan plan = PlanMainLayout(c.offers);
    EXPECT_EQ(c.nWindowHeight, plan.nWindowHeight);
    EXPECT_EQ(c.shownButtons, plan.shownButtons);
    EXPECT_EQ(c.hiddenButtons, plan.hiddenButtons);
    EXPECT_EQ(c.shownBars, plan.shownBars);
    EXPECT_EQ(c.hiddenBars, plan.hiddenBars);
    ASSERT_EQ(plan.shownButtons.size(), plan.shownCommands.size());
    for (size_t i = 0; i < plan.shownCommands.size(); ++i)
        EXPECT_EQ(plan.shownButtons[i],
                  g_commandTable[static_cast<int>(plan.shownCommands[i])].nButtonId);
}

INSTANTIATE_TEST_SUITE_P(
    Layout, PlanCases,
    ::testing::Values(
        PlanCase{"Shipped",
                 Offers(true, true, false, false),
                 340,
                 {1000, 1001},
                 {1009, 1002},
                 {1003},
                 {1005, 1006}},
        PlanCase{"AllFour",
                 Offers(true, true, true, true),
                 460,
                 {1000, 1001, 1009, 1002},
                 {},
                 {1003, 1005, 1006},
                 {}},
        PlanCase{"None",
                 Offers(false, false, false, false),
                 220,
                 {},
                 {1000, 1001, 1009, 1002},
                 {},
                 {1003, 1005, 1006}},
        // Without the Wi-Fi command the first bar still takes the first progress slot.
        PlanCase{"NoWifi",
                 Offers(false, true, true, true),
                 400,
                 {1001, 1009, 1002},
                 {1000},
                 {1003, 1005, 1006},
                 {}},
        PlanCase{"HotspotOnly",
                 Offers(false, false, true, false),
                 280,
                 {1009},
                 {1000, 1001, 1002},
                 {1005},
                 {1003, 1006}}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

// Vista (family 5) and an unknown family leave out the rows that need Windows 7; a click
// finds its row by the button's id, and nothing else does.
TEST(Commands, Windows7RowsFromWindows7OnAndEachButtonItsOwnRow)
{
    for (const int family : {0, 5, 6, 9})
    {
        std::vector<Command> offered;
        for (const CommandRow& row : g_commandTable)
            if (OfferedOnFamily(row, family))
                offered.push_back(row.command);
        const std::vector<Command> expected =
            family >= 6 ? std::vector<Command>{Command::Wifi, Command::Bluetooth, Command::Hotspot,
                                               Command::Receiver}
                        : std::vector<Command>{Command::Wifi, Command::Hotspot};
        EXPECT_EQ(offered, expected) << family;
    }
    for (const CommandRow& row : g_commandTable)
        EXPECT_EQ(RowOfButton(row.nButtonId), &row);
    EXPECT_EQ(RowOfButton(IDC_STATUS), nullptr);
    EXPECT_EQ(RowOfButton(IDC_PROGRESS_BLUETOOTH), nullptr);
}

// --- Slots ------------------------------------------------------------------------------

TEST(Layout, SlotsFollowTheTextHeight)
{
    struct Case
    {
        int t, nSlot, nButtonTop, nBarTop;
    } cases[] = {
        {20, 0, 107, 224}, {20, 1, 173, 290}, {20, 2, 239, 356}, {20, 3, 305, -1},
        {27, 0, 107, 231}, {27, 1, 180, 304}, {12, 2, 223, 332},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "t " << c.t << " slot " << c.nSlot);
        EXPECT_EQ(c.nButtonTop, ButtonSlotTop(c.nSlot, c.t));
        if (c.nBarTop >= 0)
        {
            EXPECT_EQ(c.nBarTop, ProgressSlotTop(c.nSlot, c.t));
        }
    }
    // A bar sits 5 pixels below the button above it.
    for (int t = 8; t <= 40; ++t)
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(ButtonSlotTop(k + 1, t) + g_nButtonHeight + 5, ProgressSlotTop(k, t));
}

TEST(Layout, PlacesTheShippedColumn)
{
    const MainLayoutPlan plan = PlanMainLayout(Offers(true, true, false, false));
    const MainPlacement p = PlaceMainControls(plan, 414, 311, 20);
    ASSERT_EQ(2u, p.buttons.size());
    EXPECT_EQ((PixelRect{48, 107, 318, 46}), p.buttons[0]);
    EXPECT_EQ((PixelRect{48, 173, 318, 46}), p.buttons[1]);
    ASSERT_EQ(1u, p.bars.size());
    EXPECT_EQ((PixelRect{48, 224, 318, 10}), p.bars[0]);
    EXPECT_EQ((PixelRect{48, 239, 318, 60}), p.status);
}

// --- Status line ------------------------------------------------------------------------

TEST(Layout, StatusLineStaysInsideTheClientArea)
{
    struct Case
    {
        const char* name;
        int nLowest, nClientHeight, nStatusHeight, nTop;
    } cases[] = {
        {"room below the column", 234, 311, 60, 239},
        {"exactly fits", 366, 431, 60, 371},
        {"moves up to fit, not over the column", 244, 311, 81, 244},
        {"moves up into the gap", 240, 311, 68, 243},
        {"column overflows: first row still visible", 400, 311, 60, 310},
        {"tiny client", 10, 0, 60, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.nTop, StatusLineTop(c.nLowest, c.nClientHeight, c.nStatusHeight));
    }
}

// Whatever the font and offers, the status line starts inside the client area, below every
// placed control, and shows completely whenever the space allows.
TEST(Layout, StatusLineNeverHidesForAnyTextHeight)
{
    const OfferSet offerSets[] = {Offers(true, true, false, false), Offers(true, true, true, true),
                                  Offers(true, false, false, false),
                                  Offers(false, false, true, false)};
    for (const OfferSet& offers : offerSets)
    {
        const MainLayoutPlan plan = PlanMainLayout(offers);
        for (int t = 8; t <= 40; ++t)
        {
            // Client height: the outer height less a caption and frame of 20 to 40 pixels.
            for (int nChrome = 20; nChrome <= 40; nChrome += 10)
            {
                const int ch = plan.nWindowHeight - nChrome;
                const MainPlacement p = PlaceMainControls(plan, 414, ch, t);
                int nLowest = 107;
                for (const PixelRect& r : p.buttons)
                    nLowest = std::max(nLowest, r.Bottom());
                for (const PixelRect& r : p.bars)
                    nLowest = std::max(nLowest, r.Bottom());
                SCOPED_TRACE(testing::Message()
                             << "t " << t << " ch " << ch << " windows " << plan.nWindowHeight);
                EXPECT_LT(p.status.y, ch);
                EXPECT_EQ(3 * t, p.status.height);
                EXPECT_EQ(318, p.status.width);
                if (nLowest < ch)
                {
                    EXPECT_GE(p.status.y, nLowest);
                }
                if (nLowest + 3 * t <= ch)
                {
                    EXPECT_LE(p.status.Bottom(), ch);
                }
            }
        }
    }
}

// --- Font, banner, message dialog, caption ---------------------------------------------

TEST(Layout, FontKeepsTwentyPixelsOnEveryDensity)
{
    struct Case
    {
        int nDpi, nTenths;
    } cases[] = {{96, 150}, {120, 120}, {144, 100}, {192, 75}, {72, 200}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.nDpi);
        const int nTenths = FontPointTenths(DensityScale(c.nDpi));
        EXPECT_EQ(c.nTenths, nTenths);
        // Tenths of a point at the density, in pixels (what a point font turns into).
        EXPECT_NEAR(20, nTenths * c.nDpi / 720.0, 0.5);
    }
    EXPECT_EQ(150, FontPointTenths(0.0f)); // an unreadable density falls back to 96
}

TEST(Layout, BannerIsScaledAndCentred)
{
    EXPECT_EQ((PixelRect{79, 13, 255, 85}), BannerRect(414, 300, 100));
    EXPECT_EQ((PixelRect{80, 13, 255, 85}), BannerRect(415, 300, 100));
    // Truncation is toward zero even when the picture is wider than the window.
    EXPECT_EQ((PixelRect{-27, 13, 255, 85}), BannerRect(200, 300, 100));
    EXPECT_EQ((PixelRect{0, 13, 0, 0}), BannerRect(0, 0, 0));
}

TEST(Layout, OkButtonIsCentred)
{
    EXPECT_EQ(113, OkButtonLeft(318));
    EXPECT_EQ(112, OkButtonLeft(317));
    EXPECT_EQ(0, OkButtonLeft(92));
}

TEST(Layout, CaptionCarriesTheVersion)
{
    EXPECT_EQ(L"USB Bluetooth Wireless Adapter (1.0.0.1)", MakeWindowCaption(L"1.0.0.1"));
    EXPECT_EQ(L"USB Bluetooth Wireless Adapter ()", MakeWindowCaption(L""));
}
} // namespace

// Other threads queue what the window shows and what it waits for; one wake-up per batch, the
// newest state per control, a lost wake-up caught up, nothing once the window is gone.
TEST(WorkerRequests, NewestStatePerControlOneWakeUpNothingAfterClose)
{
    CWorkerRequests requests;
    EXPECT_TRUE(requests.ShowBar(1));
    EXPECT_FALSE(requests.MoveBar(1, 40));
    EXPECT_FALSE(requests.SetStatus(L"first"));
    EXPECT_FALSE(requests.SetStatus(L"second"));
    EXPECT_FALSE(requests.MoveBar(1, 70));
    EXPECT_FALSE(requests.FamilyKnown());
    CWorkerRequests::Batch batch = requests.Take();
    EXPECT_EQ(batch.status, std::optional<std::wstring>(L"second"));
    EXPECT_EQ(batch.bars[1].position, std::optional<int>(70));
    EXPECT_EQ(batch.bars[1].visible, std::optional<bool>(true));
    EXPECT_FALSE(batch.bars[0].position || batch.bars[0].visible || batch.bars[2].visible);
    EXPECT_TRUE(batch.bFamilyKnown);
    EXPECT_FALSE(batch.bBannerReady || batch.runEnded);

    EXPECT_TRUE(requests.HideBar(1));
    EXPECT_FALSE(requests.WakeMissed());
    requests.WakeFailed(); // the post did not arrive: the timer sees it, the next request wakes
    EXPECT_TRUE(requests.WakeMissed());
    EXPECT_TRUE(requests.RunEnded(3010));
    EXPECT_FALSE(requests.BannerReady());
    batch = requests.Take();
    EXPECT_FALSE(requests.WakeMissed());
    EXPECT_EQ(batch.bars[1].visible, std::optional<bool>(false));
    EXPECT_EQ(batch.runEnded, std::optional<int>(3010));
    EXPECT_TRUE(batch.bBannerReady);
    EXPECT_FALSE(batch.status || batch.bFamilyKnown);

    requests.SetStatus(L"pending");
    requests.Close();
    EXPECT_FALSE(requests.SetStatus(L"late"));
    EXPECT_FALSE(requests.RunEnded(0));
    batch = requests.Take();
    EXPECT_FALSE(batch.status || batch.runEnded);
}

// A worker's result reaches a listener exactly once, whether it asked before or after.
TEST(WorkerResult, TellsTheListenerOnceWhicheverComesFirst)
{
    CWorkerResult<int> result;
    int told = 0;
    EXPECT_EQ(result.Get(), nullptr);
    EXPECT_EQ(result.WaitFor(std::chrono::milliseconds(0)), nullptr);
    result.WhenSet([&] { ++told; });
    EXPECT_EQ(told, 0);
    result.Set(7);
    EXPECT_EQ(told, 1);
    ASSERT_NE(result.Get(), nullptr);
    EXPECT_EQ(*result.Get(), 7);
    result.WhenSet([&] { told += 10; });
    EXPECT_EQ(told, 11);
}
