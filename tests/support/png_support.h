// Helpers of the PNG suites: hand-built PNG files and libpng as a reference decoder.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "gui/KVX_GuiBlend.h"

namespace kvx::test {

using TBytes = std::vector<uint8_t>;

TBytes BigEndian32(uint32_t Value);
TBytes Concat(std::initializer_list<TBytes> Parts);
// One chunk with its length and CRC.
TBytes PngChunk(const std::string& Name, const TBytes& Data);
TBytes PngHeaderChunk(uint32_t Width, uint32_t Height, uint8_t BitDepth, uint8_t ColorType, uint8_t Interlace = 0);
// The signature, the chunks and (when WithEnd) IEND.
TBytes PngFile(std::initializer_list<TBytes> Chunks, bool WithEnd = true);
TBytes ZlibCompress(const TBytes& Raw, int Level = 9);
TBytes ReadFileBytes(const std::string& Path);

// The 256-entry colour table of the decoding rules for a gAMA value (0: none).
std::vector<uint8_t> ReferenceGammaTable(uint32_t Gamma);

// Decodes with libpng's classic read API the way our decoder is defined: palette expanded,
// grey below 8 bits replicated, 16-bit samples cut to the high byte, no gamma, no tRNS; then
// the reference table is applied to every colour byte. False (with Error) when libpng refuses.
bool DecodeWithLibpng(const TBytes& File, uint32_t& Width, uint32_t& Height, std::vector<TPixel32>& Pixels,
                      std::string& Error);
bool HaveLibpng();

}  // namespace kvx::test
