// Owners of GDI objects and device contexts for the window's drawing.
#ifndef BASE_SCOPED_GDI_H_
#define BASE_SCOPED_GDI_H_

#include <windows.h>

#include "base/scoped_generic.h"

namespace base {

// A font, brush, pen, bitmap or region the caller created.
template <typename T>
struct GdiObjectTraits {
  static T InvalidValue() { return nullptr; }
  static bool IsValid(T object) { return object != nullptr; }
  void Free(T object) const { ::DeleteObject(object); }
};
using ScopedFont = ScopedGeneric<HFONT, GdiObjectTraits<HFONT>>;
using ScopedBrush = ScopedGeneric<HBRUSH, GdiObjectTraits<HBRUSH>>;
using ScopedPen = ScopedGeneric<HPEN, GdiObjectTraits<HPEN>>;
using ScopedBitmap = ScopedGeneric<HBITMAP, GdiObjectTraits<HBITMAP>>;
using ScopedRegion = ScopedGeneric<HRGN, GdiObjectTraits<HRGN>>;

// A memory device context from CreateCompatibleDC.
struct MemoryDcTraits {
  static HDC InvalidValue() { return nullptr; }
  static bool IsValid(HDC dc) { return dc != nullptr; }
  void Free(HDC dc) const { ::DeleteDC(dc); }
};
using ScopedMemoryDc = ScopedGeneric<HDC, MemoryDcTraits>;

// A window's (or the screen's) device context from GetDC, released to the
// window it came from.
struct WindowDcTraits {
  HWND window = nullptr;
  static HDC InvalidValue() { return nullptr; }
  static bool IsValid(HDC dc) { return dc != nullptr; }
  void Free(HDC dc) const { ::ReleaseDC(window, dc); }
};
class ScopedGetDc : public ScopedGeneric<HDC, WindowDcTraits> {
 public:
  // nullptr: the screen.
  explicit ScopedGetDc(HWND window)
      : ScopedGeneric(::GetDC(window), WindowDcTraits{window}) {}
};

// An object selected into a device context: going, it selects the object
// that was there before back in, so that the context never keeps an object
// that is about to be deleted. Declare it after the object it selects.
struct SelectedObjectTraits {
  HDC dc = nullptr;
  static HGDIOBJ InvalidValue() { return nullptr; }
  static bool IsValid(HGDIOBJ previous) {
    return previous != nullptr && previous != HGDI_ERROR;
  }
  void Free(HGDIOBJ previous) const { ::SelectObject(dc, previous); }
};
class ScopedSelectObject : public ScopedGeneric<HGDIOBJ, SelectedObjectTraits> {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object)
      : ScopedGeneric(::SelectObject(dc, object), SelectedObjectTraits{dc}) {}
};

}  // namespace base

#endif  // BASE_SCOPED_GDI_H_
