// System colours: the running system's on Windows, the usual defaults elsewhere.
#include "ui/types.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace ui {

TColor ColorToRGB(TColor color) {
  if ((color & 0xFF000000u) != 0xFF000000u) return color & 0xFFFFFF;
  const unsigned index = color & 0xFF;
#ifdef _WIN32
  return static_cast<TColor>(::GetSysColor(static_cast<int>(index))) & 0xFFFFFF;
#else
  switch (index) {
    case 1:
      return 0x000000;  // desktop
    case 5:
      return 0xFFFFFF;  // window
    case 8:
      return 0x000000;  // window text
    case 13:
      return 0xFF9933;  // highlight
    case 14:
      return 0xFFFFFF;  // highlight text
    case 15:
      return 0xF0F0F0;  // button face
    case 16:
      return 0xA0A0A0;  // button shadow
    case 17:
      return 0x6D6D6D;  // grey text
    case 18:
      return 0x000000;  // button text
    default:
      return 0x000000;
  }
#endif
}

}  // namespace ui
