#include "editor/KVX_Artwork.h"

#include "platform/KVX_Types.h"

namespace kvx {

// The bytes come from a source the build generates from the committed PNG files, one entry per
// picture in the order of TArtworkPicture.
struct TArtworkBytes {
  const uint8_t* Data;
  size_t Size;
};
extern const TArtworkBytes CArtworkBytes[apCount];

namespace {

const TArtworkInfo CArtworkInfo[apCount] = {
    {"front.png", "", 254, 353, 1},
    {"back.png", "", 254, 353, 1},
    {"led-on.png", "", 256, 256, 1},
    {"led-off.png", "", 297, 298, 1},
    {"arrow-front.png", "", 18, 14, 1},
    {"arrow-back.png", "", 18, 14, 1},
    {"button.png", "Button", 94, 188, 2},
    {"knob.png", "Knob", 59, 5900, 100},
    {"knob2.png", "Knob2", 50, 5000, 100},
    {"switch2.png", "Switch2", 38, 76, 2},
    {"switch3.png", "Switch3", 38, 114, 3},
};

}  // namespace

const TArtworkInfo& ArtworkInfo(TArtworkPicture Picture) {
  KVX_ASSERT(Picture >= 0 && Picture < apCount, "KVX_Artwork");
  return CArtworkInfo[Picture];
}

std::span<const uint8_t> ArtworkData(TArtworkPicture Picture) {
  KVX_ASSERT(Picture >= 0 && Picture < apCount, "KVX_Artwork");
  return {CArtworkBytes[Picture].Data, CArtworkBytes[Picture].Size};
}

}  // namespace kvx
