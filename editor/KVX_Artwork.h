// The editor's artwork: every picture of both faces and the stitched control images, as the
// PNG files that editor/art/ holds and the build embeds into the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kvx {

enum TArtworkPicture : int32_t {
  apFront,       // front face, 254 x 353
  apBack,        // back (options) face, 254 x 353
  apLEDOn,       // lit LED with its glow, shown scaled down to 35 x 35
  apLEDOff,      // unlit LED, shown scaled down to 9 x 9
  apArrowFront,  // arrow on the front face, to the options
  apArrowBack,   // arrow on the back face, to the front
  apButton,      // stitched: bypass footswitch, released and pressed
  apKnob,        // stitched: Level, Tone and Output knob, 100 frames
  apKnob2,       // stitched: Drive knob, 100 frames
  apSwitch2,     // stitched: two-position toggle
  apSwitch3,     // stitched: three-position toggle
  apCount
};

struct TArtworkInfo {
  const char* FileName;     // name of the PNG (and, with ".svg", of its source) in editor/art/
  const char* DisplayName;  // the stitched item's name in the editor's image list; empty for pictures
  int32_t Width;            // the whole PNG
  int32_t Height;
  int32_t GlyphCount;       // frames stacked top to bottom; 1 for plain pictures
};

// Size and frame layout of a picture; an index outside the enumeration fails an assertion.
const TArtworkInfo& ArtworkInfo(TArtworkPicture Picture);
// The embedded PNG file of a picture, byte for byte as committed.
std::span<const uint8_t> ArtworkData(TArtworkPicture Picture);

}  // namespace kvx
