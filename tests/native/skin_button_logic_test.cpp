#include "controls/SkinButtonLogic.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
constexpr SkinPoint kOrigin{3, 3};
constexpr SkinPoint kShift{1, 1};

// --- Image placement --------------------------------------------------------------------

struct PlaceCase
{
    const char* name;
    ContentAlign align;
    SkinRect item;
    bool bHasCaption;
    int w, h;
    bool bPressed;
    SkinPoint shift;
    SkinRect image;
    SkinRect caption; // the caption rectangle afterwards (starts as the item)
};

class PlaceCases : public ::testing::TestWithParam<PlaceCase>
{
};

TEST_P(PlaceCases, PlacesImageAndPushesCaption)
{
    const PlaceCase& c = GetParam();
    SkinRect caption = c.item;
    EXPECT_EQ(c.image, PlaceImage(c.align, c.item, caption, c.bHasCaption, c.w, c.h, c.bPressed,
                                  kOrigin, c.shift));
    EXPECT_EQ(c.caption, caption);
}

INSTANTIATE_TEST_SUITE_P(SkinButton, PlaceCases,
                         ::testing::Values(
                             // The installer's buttons: a face exactly the control's size.
                             PlaceCase{"ExactReleased",
                                       Overlap,
                                       {0, 0, 318, 46},
                                       true,
                                       318,
                                       46,
                                       false,
                                       kShift,
                                       {0, 0, 318, 46},
                                       {0, 0, 318, 46}},
                             PlaceCase{"ExactPressed",
                                       Overlap,
                                       {0, 0, 318, 46},
                                       true,
                                       318,
                                       46,
                                       true,
                                       kShift,
                                       {1, 1, 319, 47},
                                       {0, 0, 318, 46}},
                             PlaceCase{"PressedStyleOne",
                                       Overlap,
                                       {0, 0, 92, 36},
                                       true,
                                       92,
                                       36,
                                       true,
                                       {0, 2},
                                       {0, 2, 92, 38},
                                       {0, 0, 92, 36}},
                             // Larger than the control: negative offsets, halved toward zero.
                             PlaceCase{"Larger",
                                       Overlap,
                                       {0, 0, 318, 46},
                                       true,
                                       400,
                                       61,
                                       false,
                                       kShift,
                                       {-41, -7, 359, 54},
                                       {0, 0, 318, 46}},
                             PlaceCase{"SmallerOffsetItem",
                                       Overlap,
                                       {10, 20, 110, 61},
                                       false,
                                       92,
                                       36,
                                       false,
                                       kShift,
                                       {14, 22, 106, 58},
                                       {10, 20, 110, 61}},
                             PlaceCase{"LeftWithCaption",
                                       ImageLeft,
                                       {0, 0, 200, 40},
                                       true,
                                       16,
                                       16,
                                       false,
                                       kShift,
                                       {3, 12, 19, 28},
                                       {19, 0, 200, 40}},
                             PlaceCase{"LeftWithoutCaption",
                                       ImageLeft,
                                       {0, 0, 200, 40},
                                       false,
                                       16,
                                       16,
                                       false,
                                       kShift,
                                       {92, 12, 108, 28},
                                       {0, 0, 200, 40}},
                             PlaceCase{"RightWithCaption",
                                       ImageRight,
                                       {0, 0, 200, 40},
                                       true,
                                       16,
                                       16,
                                       true,
                                       kShift,
                                       {182, 13, 198, 29},
                                       {0, 0, 181, 40}},
                             PlaceCase{"TopWithCaption",
                                       ImageTop,
                                       {0, 0, 200, 60},
                                       true,
                                       16,
                                       16,
                                       false,
                                       kShift,
                                       {92, 3, 108, 19},
                                       {0, 19, 200, 60}}),
                         [](const ::testing::TestParamInfo<PlaceCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(SkinButton, CaptionBlockIsCentredInItsFrame)
{
    struct Case
    {
        SkinRect frame, measured, expected;
    } cases[] = {
        {{0, 0, 318, 46}, {0, 0, 100, 20}, {109, 13, 209, 33}},
        {{1, 1, 319, 47}, {1, 1, 101, 21}, {110, 14, 210, 34}}, // pressed: shifted frame
        {{0, 0, 318, 46}, {0, 0, 301, 40}, {8, 3, 309, 43}},    // two wrapped lines
        {{0, 0, 92, 36}, {0, 0, 120, 60}, {-14, -12, 106, 48}}, // taller than the face
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, CentreCaption(c.frame, c.measured));
}

// --- State colours and images ---------------------------------------------------------------

TEST(SkinButton, StatesPickTheirColoursAndImage)
{
    struct Case
    {
        bool bPressed, bFocused, bHover;
        ColorSlot face, caption;
        int nIndexWithSecond;
    } cases[] = {
        {false, false, false, BkNormal, FgNormal, 1}, {false, true, false, BkFocus, FgFocus, 1},
        {false, false, true, BkHot, FgHot, 0},        {true, false, false, BkHot, FgHot, 0},
        {true, true, true, BkHot, FgHot, 0}, // hot wins over focus
    };
    for (const Case& c : cases)
    {
        const ButtonState s{c.bPressed, c.bFocused, c.bHover};
        SCOPED_TRACE(testing::Message() << c.bPressed << c.bFocused << c.bHover);
        EXPECT_EQ(c.face, FaceSlot(s));
        EXPECT_EQ(c.caption, CaptionSlot(s));
        EXPECT_EQ(c.nIndexWithSecond, ImageIndex(s, true));
        EXPECT_EQ(0, ImageIndex(s, false));
    }
}

TEST(SkinButton, PressedShiftStyles)
{
    SkinPoint shift{9, 9};
    EXPECT_TRUE(PressedShiftFor(0, shift));
    EXPECT_EQ(1, shift.x);
    EXPECT_EQ(1, shift.y);
    EXPECT_TRUE(PressedShiftFor(1, shift));
    EXPECT_EQ(0, shift.x);
    EXPECT_EQ(2, shift.y);
    for (int nBad : {2, -1, 6})
    {
        EXPECT_FALSE(PressedShiftFor(nBad, shift));
        EXPECT_EQ(0, shift.x); // unchanged
        EXPECT_EQ(2, shift.y);
    }
}

// --- Style bits -------------------------------------------------------------------------------

TEST(SkinButton, AttachingMakesTheButtonOwnerDrawn)
{
    struct Case
    {
        unsigned nStyle, nNewStyle, nType;
        bool bDefault;
    } cases[] = {
        {0x50010000, 0x5001000B, 0x0, false}, // child, visible, tab stop, push button
        {0x50010001, 0x5001000B, 0x0, true},  // default push button
        {0x5001000B, 0x5001000B, 0xB, false}, // already owner-drawn
        {0x50012F00, 0x50012F0B, 0x0, false}, // alignment and notify bits survive
    };
    for (const Case& c : cases)
    {
        const AttachedStyle a = StyleOnAttach(c.nStyle);
        EXPECT_EQ(c.nNewStyle, a.nNewStyle);
        EXPECT_EQ(c.nType, a.nTypeStyle);
        EXPECT_EQ(c.bDefault, a.bDefault);
    }
}

TEST(SkinButton, DialogManagersStyleChangesKeepOwnerDraw)
{
    struct Case
    {
        bool bBefore;
        unsigned nStyle;
        bool bAfter;
        unsigned nPassed;
    } cases[] = {
        {false, 0x1, true, 0xB},       // becomes the default button
        {true, 0x0, false, 0xB},       // loses it
        {true, 0xB, true, 0xB},        // other types leave the flag
        {false, 0x5, false, 0xB},      // a group box type, say
        {false, 0x2001, true, 0x200B}, // high bits pass through
    };
    for (const Case& c : cases)
    {
        bool bDefault = c.bBefore;
        EXPECT_EQ(c.nPassed, StyleOnSetStyle(c.nStyle, bDefault));
        EXPECT_EQ(c.bAfter, bDefault);
    }
    EXPECT_EQ(0x2010u, DialogCodeFor(0x2000, true));
    EXPECT_EQ(0x2020u, DialogCodeFor(0x2000, false));
}

// --- Focus cue -----------------------------------------------------------------------------

TEST(SkinButton, FocusCueStartsHiddenAndFollowsHideFocusUpdates)
{
    struct Step
    {
        unsigned nAction, nFlags; // UIS_SET 1, UIS_CLEAR 2, UIS_INITIALIZE 3; UISF_HIDEFOCUS 1
        bool bChanged, bShown;
    } steps[] = {
        {1, 1, false, false}, // hidden from the start, whatever the system says
        {2, 2, false, false}, // accelerators only
        {3, 1, false, false}, // the top-level window resolves that
        {2, 3, true, true},   {2, 1, false, true}, {1, 1, true, false},
    };
    CFocusCue cue;
    const ButtonState focused{false, true, false, false};
    for (const Step& s : steps)
    {
        SCOPED_TRACE(testing::Message() << s.nAction << "," << s.nFlags);
        EXPECT_EQ(s.bChanged, cue.OnUpdateUiState(s.nAction, s.nFlags));
        EXPECT_EQ(s.bShown, cue.Shows(focused));
    }
    cue.OnUpdateUiState(2, 1);
    EXPECT_TRUE(cue.Shows({true, true, true, false})); // pressed and hovered too
    EXPECT_FALSE(cue.Shows({false, false, false, false}));
    EXPECT_FALSE(cue.Shows({false, true, false, true})); // ODS_NOFOCUSRECT
    EXPECT_TRUE(IsNavigationKey(0x100, 0x09) && IsNavigationKey(0x100, 0x28));
    EXPECT_FALSE(IsNavigationKey(0x100, 0x20) || IsNavigationKey(0x101, 0x09)); // space, key up
}

// --- Hover --------------------------------------------------------------------------------

enum Event
{
    MoveOver,
    MoveOverDragging, // left button held
    MoveAway,
    MoveAwayDragging,
    Leave, // WM_MOUSELEAVE, focus loss, cancel mode
};

struct HoverCase
{
    const char* name;
    std::vector<Event> events;
    int nRepaints;
    bool bHoverAfter;
};

class HoverCases : public ::testing::TestWithParam<HoverCase>
{
};

TEST_P(HoverCases, RepaintsOnceOnEnterAndOnceOnLeave)
{
    CHoverTracker tracker;
    int nRepaints = 0;
    for (Event e : GetParam().events)
    {
        if (e == Leave)
        {
            nRepaints += tracker.EndHover(true) ? 1 : 0;
            continue;
        }
        const bool bOver = e == MoveOver || e == MoveOverDragging;
        const bool bDown = e == MoveOverDragging || e == MoveAwayDragging;
        nRepaints += tracker.OnMouseMove(bOver, bDown, true) != CHoverTracker::Action::None;
    }
    EXPECT_EQ(GetParam().nRepaints, nRepaints);
    EXPECT_EQ(GetParam().bHoverAfter, tracker.IsHover());
}

INSTANTIATE_TEST_SUITE_P(
    SkinButton, HoverCases,
    ::testing::Values(
        HoverCase{"EnterMoveLeave", {MoveOver, MoveOver, MoveOver, Leave}, 2, false},
        HoverCase{"EnterThenMoveAway", {MoveOver, MoveAway, MoveAway}, 2, false},
        HoverCase{"EnterWhileDragging", {MoveOverDragging, MoveOverDragging}, 0, false},
        HoverCase{"PressWhileHovering", {MoveOver, MoveOverDragging, MoveAwayDragging}, 2, false},
        HoverCase{"LeaveTwice", {MoveOver, Leave, Leave}, 2, false},
        HoverCase{"LeaveWithoutEnter", {Leave, MoveAway}, 0, false},
        HoverCase{"ReEnter", {MoveOver, Leave, MoveOver}, 3, true}),
    [](const ::testing::TestParamInfo<HoverCase>& info) { return std::string(info.param.name); });

TEST(SkinButton, NonFlatButtonsDoNotTrackHover)
{
    CHoverTracker tracker;
    EXPECT_EQ(CHoverTracker::Action::None, tracker.OnMouseMove(true, false, false));
    EXPECT_FALSE(tracker.IsHover());
}
} // namespace
