#pragma once
// The decisions of the bitmap push-button that need no window: where image and caption go,
// which colours a state uses, when hovering repaints, what the button's style bits become.

#include <cstdint>

enum class SkinResult : int
{
    Ok = 0,
    BadResource = 1,
    MaskFailed = 2,
    BadColorSlot = 3,
    BadAlign = 4,
    BadPressedStyle = 6,
};

enum ColorSlot : int
{
    BkHot = 0,
    FgHot = 1,
    BkNormal = 2,
    FgNormal = 3,
    BkFocus = 4,
    FgFocus = 5
};
constexpr int kColorSlotCount = 6;

enum ContentAlign : std::uint8_t
{
    ImageLeft = 0,
    ImageTop = 1,
    ImageRight = 2,
    Overlap = 3
};

struct SkinRect
{
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    void Offset(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    bool operator==(const SkinRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct SkinPoint
{
    int x = 0, y = 0;
};

// What a state draws with. Pressed content is shifted; hover and pressed share the hot colours.
struct ButtonState
{
    bool bPressed = false;
    bool bFocused = false;
    bool bHover = false;
    bool bNoFocusRect = false; // the system hides focus cues (ODS_NOFOCUSRECT)
};
ColorSlot FaceSlot(const ButtonState& s);
ColorSlot CaptionSlot(const ButtonState& s);

// Image rectangle for an image of w x h on the item; may push the caption rectangle aside.
SkinRect PlaceImage(ContentAlign align, const SkinRect& item, SkinRect& caption, bool bHasCaption,
                    int w, int h, bool bPressed, SkinPoint origin, SkinPoint pressedShift);

// Centres a measured (wrapped) text block inside the frame it was measured in.
SkinRect CentreCaption(const SkinRect& frame, const SkinRect& measured);

// Image slot: [0] while hovered or pressed, [1] otherwise when there is one.
int ImageIndex(const ButtonState& s, bool bHaveSecond);

bool PressedShiftFor(int nStyle, SkinPoint& shift);

// Button style bits: BS_TYPEMASK 0x0F, BS_PUSHBUTTON 0, BS_DEFPUSHBUTTON 1, BS_OWNERDRAW 0xB.
struct AttachedStyle
{
    unsigned nTypeStyle;
    bool bDefault;
    unsigned nNewStyle; // the style the control gets: type replaced by owner-draw
};
AttachedStyle StyleOnAttach(unsigned nStyle);
// BM_SETSTYLE: updates the default flag and gives the style to pass on, still owner-drawn.
unsigned StyleOnSetStyle(unsigned nStyle, bool& bDefault);
// WM_GETDLGCODE: DLGC_DEFPUSHBUTTON 0x10 or DLGC_UNDEFPUSHBUTTON 0x20 added.
unsigned DialogCodeFor(unsigned nBase, bool bDefault);

// Windows' keyboard-cue convention for the focus cue: none while the window is used with the
// mouse only, shown once the keyboard navigates in it. Windows reports the window's UI state
// with WM_UPDATEUISTATE. Wine keeps none (every window answers "shown", and Tab sends nothing),
// so the cue starts hidden whatever the system answers, and a navigation key that reaches the
// dialog manager while the button has the focus shows it too.
class CFocusCue
{
public:
    // WM_UPDATEUISTATE: nAction UIS_SET 1 or UIS_CLEAR 2, nFlags with UISF_HIDEFOCUS 1. true when
    // the cue's visibility changed.
    bool OnUpdateUiState(unsigned nAction, unsigned nFlags);
    bool Shows(const ButtonState& s) const;

private:
    bool m_bHidden = true;
};

// A key the dialog manager moves the focus with: WM_KEYDOWN 0x100 of Tab or an arrow key.
bool IsNavigationKey(unsigned nMessage, unsigned nKey);

// The dotted cue runs this far inside the item: on the face, clear of its margin and caption.
constexpr int kFocusCueInset = 5;
SkinRect FocusCueRect(const SkinRect& item);

// Hover tracking of a flat button: one repaint when the mouse enters, one when it leaves.
class CHoverTracker
{
public:
    enum class Action
    {
        None,
        Enter,
        Leave
    };
    // bOverButton: the window under the mouse is this button; bLeftDown: left button held.
    Action OnMouseMove(bool bOverButton, bool bLeftDown, bool bFlat);
    // Mouse left, focus lost, deactivated, mode cancelled: true when a repaint is due.
    bool EndHover(bool bFlat);
    bool IsHover() const { return m_bHover; }

private:
    bool m_bHover = false;
};
