#include "platform/KVX_Graphics.h"

#include <iterator>

namespace kvx {

namespace {

// The light desktop scheme of the layer, 0x00BBGGRR by system colour index.
constexpr uint32_t CSysColors[CSysColorCount] = {
    0xC8C8C8,  // scroll bar
    0x000000,  // desktop background
    0xD1B499,  // active caption
    0xDBCDBF,  // inactive caption
    0xF0F0F0,  // menu
    0xFFFFFF,  // window
    0x646464,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0x000000,  // caption text
    0xB4B4B4,  // active border
    0xFCF7F4,  // inactive border
    0xABABAB,  // application work space
    0xFF9933,  // highlight
    0xFFFFFF,  // highlight text
    0xF0F0F0,  // button face
    0xA0A0A0,  // button shadow
    0x6D6D6D,  // grey text
    0x000000,  // button text
    0x544E43,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x696969,  // 3-D dark shadow
    0xE3E3E3,  // 3-D light
    0x000000,  // tool tip text
    0xE1FFFF,  // tool tip background
    0x000000,  // (unused index 25)
    0xCC6600,  // hot-tracked item
    0xEAD1B9,  // gradient of the active caption
    0xF2E4D7,  // gradient of the inactive caption
    0xFF9933,  // menu highlight
    0xF0F0F0,  // menu bar
};

}  // namespace

uint32_t GetSysColor(int32_t Index) {
  if (Index < 0 || Index >= static_cast<int32_t>(std::size(CSysColors))) return 0;
  return CSysColors[Index];
}

uint32_t ColorToRGB(TColor Color) {
  if (Color < 0) return GetSysColor(Color & 0xFF);
  return static_cast<uint32_t>(Color) & 0x00FFFFFF;
}

}  // namespace kvx
