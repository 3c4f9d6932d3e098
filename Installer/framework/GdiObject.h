// GDI objects (bitmaps, brushes, fonts, regions) released with DeleteObject. Stock objects
// must never go into these owners.
#pragma once

#include "framework/HandleTraits.h"
#include "framework/UniqueHandle.h"

template <typename T>
struct GdiObjectTraits : HandleTraitsBase<T, GdiObjectTraits<T>>
{
    static T Invalid() noexcept { return nullptr; }
    static void Close(T h) noexcept { DeleteObject(h); }
};

using UniqueBitmap = UniqueHandle<GdiObjectTraits<HBITMAP>>;
using UniqueBrush = UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniqueFont = UniqueHandle<GdiObjectTraits<HFONT>>;
