#pragma once
// Owners of the system's drawing objects: each one is given back to the system when its owner
// goes, whichever way the owner's scope ends.

#include <windows.h>
// (first: the other system headers need its types)

#include <commctrl.h>

#include <memory>
#include <type_traits>

namespace stowra {

struct GdiDeleter {
    void operator()(void* object) const { ::DeleteObject(static_cast<HGDIOBJ>(object)); }
};
struct IconDeleter {
    void operator()(HICON icon) const { ::DestroyIcon(icon); }
};
struct ImageListDeleter {
    void operator()(HIMAGELIST list) const { ::ImageList_Destroy(list); }
};

using Brush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiDeleter>;
using Font = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiDeleter>;
using Icon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;
using ImageList = std::unique_ptr<std::remove_pointer_t<HIMAGELIST>, ImageListDeleter>;

inline Brush SolidBrush(COLORREF color) {
    return Brush(::CreateSolidBrush(color));
}

// The yellow of a required field left empty.
inline constexpr COLORREF kEmptyFieldColor = RGB(255, 255, 0);

}  // namespace stowra
