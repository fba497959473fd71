// Load and decode any bytes as a PNG file. Our own exceptions are the expected outcome of bad
// input; anything else (a crash, a sanitizer report, a foreign exception) is a finding.
// Each input runs twice: as it is, and with every chunk's CRC repaired, so that mutations also
// reach the chunk parsers and the decoders behind the CRC check. Images up to the decoder's pixel
// cap are decoded, so that a small file declaring a huge image shows up as a finding when it
// costs memory: tools/fuzz.sh runs under an RSS and a single-allocation limit.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gui/KVX_GuiPixelMap.h"
#include "png/KVX_GuiPng.h"

using namespace kvx;

namespace {

void RepairCrcs(std::vector<uint8_t>& File) {
  size_t at = 8;
  while (at + 12 <= File.size()) {
    const uint32_t length = ReadBigEndian32(&File[at]);
    if (length > File.size() - at - 12) break;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, &File[at + 4], length + 4));
    WriteBigEndian32(&File[at + 8 + length], crc);
    at += 12 + length;
  }
}

void LoadAndDecode(const std::vector<uint8_t>& File) {
  try {
    TMemoryStream stream(File);
    TPortableNetworkGraphicPixel32 png;
    png.LoadFromStream(stream);
    const uint64_t pixels = uint64_t(png.ImageHeader().Width()) * png.ImageHeader().Height();
    if (pixels <= CPngMaxPixels) {
      TGuiPixelMapMemory map;
      png.AssignTo(map);
      // A copy of the object, and the file it saves, decode to the same pixels.
      TPortableNetworkGraphicPixel32 copy;
      copy.Assign(png);
      TGuiPixelMapMemory copied;
      copy.AssignTo(copied);
      if (!copied.Equals(map)) __builtin_trap();
      try {
        TMemoryStream resaved;
        png.SaveToStream(resaved);
        resaved.SetPosition(0);
        TGuiPixelMapMemory reloaded;
        reloaded.LoadFromStream(resaved);
        if (!reloaded.Equals(map)) __builtin_trap();
      } catch (const EPngError&) {
        // Chunks that cannot be saved (iTXt, a tRNS that does not suit the colour type).
      } catch (const Exception& e) {
        if (std::string(e.what()) != "Saving this chunk type is not supported") __builtin_trap();
      }
      // A decoded image encodes and reloads to the same pixels.
      if (map.Width() * map.Height() > 0 && map.Width() * map.Height() <= 4096) {
        TPortableNetworkGraphicPixel32 again;
        again.Assign(map);
        TMemoryStream saved;
        again.SaveToStream(saved);
        saved.SetPosition(0);
        TGuiPixelMapMemory back;
        back.LoadFromStream(saved);
        if (!back.Equals(map)) __builtin_trap();
      }
    } else {
      // Too large to decode here: the size checks must refuse it without writing.
      TGuiPixelMapMemory map;
      map.SetSize(1, 1);
      png.DrawToPixelMap(map);
      __builtin_trap();
    }
  } catch (const Exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  std::vector<uint8_t> file(Data, Data + Size);
  LoadAndDecode(file);
  RepairCrcs(file);
  LoadAndDecode(file);
  return 0;
}
