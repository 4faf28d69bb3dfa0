#pragma once
// One font family for the whole interface. Texts mix Japanese and Latin letters and digits in
// one line ("対象ファイル数 = 8 （サイズ = 600.0000 KiB）"); a Latin font with Japanese glyphs
// borrowed from a fallback font draws such a line in two different faces.

#include <QString>

namespace stowra {

// Makes the first installed family that holds both Japanese and Latin glyphs the application's
// font, at the platform's default size. Returns the family chosen, or an empty text when none of
// them is installed (the platform's font stays then).
QString UseInterfaceFont();

}  // namespace stowra
