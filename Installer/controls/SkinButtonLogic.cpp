#include "controls/SkinButtonLogic.h"

ColorSlot FaceSlot(const ButtonState& s)
{
    if (s.bHover || s.bPressed)
        return BkHot;
    return s.bFocused ? BkFocus : BkNormal;
}

ColorSlot CaptionSlot(const ButtonState& s)
{
    if (s.bHover || s.bPressed)
        return FgHot;
    return s.bFocused ? FgFocus : FgNormal;
}

SkinRect PlaceImage(ContentAlign align, const SkinRect& item, SkinRect& caption, bool bHasCaption,
                    int w, int h, bool bPressed, SkinPoint origin, SkinPoint pressedShift)
{
    SkinRect image = item;
    const int dx = (item.Width() - w) / 2;
    const int dy = (item.Height() - h) / 2;
    switch (align)
    {
    case ImageLeft:
        image.left += bHasCaption ? origin.x : dx;
        image.top += dy;
        if (bHasCaption)
            caption.left = image.left + w;
        break;
    case ImageRight:
        image.left = bHasCaption ? item.right - origin.x - w : image.left + dx;
        image.top += dy;
        if (bHasCaption)
            caption.right = image.left;
        break;
    case ImageTop:
        image.left += dx;
        image.top += bHasCaption ? origin.y : dy;
        if (bHasCaption)
            caption.top = image.top + h;
        break;
    case Overlap:
    default:
        image.left += dx;
        image.top += dy;
        break;
    }
    image.right = image.left + w;
    image.bottom = image.top + h;
    if (bPressed)
        image.Offset(pressedShift.x, pressedShift.y);
    return image;
}

SkinRect CentreCaption(const SkinRect& frame, const SkinRect& measured)
{
    SkinRect r = measured;
    r.Offset((frame.Width() - measured.Width()) / 2, (frame.Height() - measured.Height()) / 2);
    return r;
}

int ImageIndex(const ButtonState& s, bool bHaveSecond)
{
    if (s.bPressed || s.bHover)
        return 0;
    return bHaveSecond ? 1 : 0;
}

bool PressedShiftFor(int nStyle, SkinPoint& shift)
{
    switch (nStyle)
    {
    case 0: shift = {1, 1}; return true;
    case 1: shift = {0, 2}; return true;
    default: return false;
    }
}

namespace {
constexpr unsigned kUisSet = 1;
constexpr unsigned kUisClear = 2;
constexpr unsigned kUisfHideFocus = 1;
constexpr unsigned kKeyDown = 0x100;
constexpr unsigned kTabKey = 0x09;
constexpr unsigned kLeftKey = 0x25; // left, up, right, down follow
constexpr unsigned kDownKey = 0x28;
} // namespace

bool CFocusCue::OnUpdateUiState(unsigned nAction, unsigned nFlags)
{
    if (!(nFlags & kUisfHideFocus) || (nAction != kUisSet && nAction != kUisClear))
        return false;
    const bool bWasHidden = m_bHidden;
    m_bHidden = nAction == kUisSet;
    return m_bHidden != bWasHidden;
}

bool CFocusCue::Shows(const ButtonState& s) const
{
    return s.bFocused && !s.bNoFocusRect && !m_bHidden;
}

bool IsNavigationKey(unsigned nMessage, unsigned nKey)
{
    return nMessage == kKeyDown && (nKey == kTabKey || (nKey >= kLeftKey && nKey <= kDownKey));
}

SkinRect FocusCueRect(const SkinRect& item)
{
    return {item.left + kFocusCueInset, item.top + kFocusCueInset, item.right - kFocusCueInset,
            item.bottom - kFocusCueInset};
}

namespace {
constexpr unsigned kTypeMask = 0x0F;
constexpr unsigned kPushButton = 0x0;
constexpr unsigned kDefPushButton = 0x1;
constexpr unsigned kOwnerDraw = 0xB;
} // namespace

AttachedStyle StyleOnAttach(unsigned nStyle)
{
    AttachedStyle a{nStyle & kTypeMask, false, (nStyle & ~kTypeMask) | kOwnerDraw};
    if (a.nTypeStyle == kDefPushButton)
    {
        a.bDefault = true;
        a.nTypeStyle = kPushButton;
    }
    return a;
}

unsigned StyleOnSetStyle(unsigned nStyle, bool& bDefault)
{
    const unsigned nType = nStyle & kTypeMask;
    if (nType == kDefPushButton)
        bDefault = true;
    else if (nType == kPushButton)
        bDefault = false;
    return (nStyle & ~kTypeMask) | kOwnerDraw;
}

unsigned DialogCodeFor(unsigned nBase, bool bDefault)
{
    return nBase | (bDefault ? 0x10u : 0x20u);
}

CHoverTracker::Action CHoverTracker::OnMouseMove(bool bOverButton, bool bLeftDown, bool bFlat)
{
    if (bLeftDown && !m_bHover)
        return Action::None;
    if (!bFlat)
        return Action::None;
    if (bOverButton)
    {
        if (m_bHover)
            return Action::None;
        m_bHover = true;
        return Action::Enter;
    }
    return EndHover(bFlat) ? Action::Leave : Action::None;
}

bool CHoverTracker::EndHover(bool bFlat)
{
    if (!bFlat || !m_bHover)
        return false;
    m_bHover = false;
    return true;
}
