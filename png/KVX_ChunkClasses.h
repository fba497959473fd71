// Generic chunk framing: a 4-byte name and a 32-bit size followed by the data, in the variants
// the flags select (size first, big-endian size, pad byte, size counting the header).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/KVX_Streams.h"
#include "platform/KVX_Types.h"

namespace kvx {

enum TChunkFlag : uint8_t { cfSizeFirst, cfReversedByteOrder, cfPadSize, cfIncludeChunkInSize };
using TChunkFlags = TSet<TChunkFlag, uint8_t>;

using TChunkName = std::array<char, 4>;

class TCustomChunk {
 public:
  TCustomChunk();
  virtual ~TCustomChunk() = default;
  TCustomChunk(const TCustomChunk&) = delete;
  TCustomChunk& operator=(const TCustomChunk&) = delete;

  virtual std::string ChunkName() const;
  virtual uint32_t ChunkSize() const { return FChunkSize; }
  virtual void SetChunkName(const std::string& Value);
  TChunkFlags ChunkFlags() const { return FChunkFlags; }
  void SetChunkFlags(TChunkFlags Value) { FChunkFlags = Value; }

  virtual void LoadFromStream(TStream& Stream);
  virtual void SaveToStream(TStream& Stream);
  virtual void LoadFromFile(const std::string& FileName);
  virtual void SaveToFile(const std::string& FileName);

  // Copies name, size, flags and (in descendants) the content of a chunk of the same class.
  virtual void Assign(const TCustomChunk& Source);

 protected:
  // Reads the name and the size in the flagged order.
  void ReadHeader(TStream& Stream);
  void WriteHeader(TStream& Stream);

  TChunkName FChunkName{};
  uint32_t FChunkSize = 0;
  TChunkFlags FChunkFlags;
};

// A chunk class with a fixed name.
class TDefinedChunk : public TCustomChunk {
 public:
  uint32_t FilePosition() const { return FFilePosition; }
  void SetFilePosition(uint32_t Value) { FFilePosition = Value; }
  virtual TChunkName GetClassChunkName() const = 0;
  std::string ChunkName() const override;
  void SetChunkName(const std::string& Value) override;
  void LoadFromStream(TStream& Stream) override;
  void Assign(const TCustomChunk& Source) override;

 protected:
  // Descendants call this from their constructor, once the class name is known.
  void InitChunkName() { FChunkName = GetClassChunkName(); }

  uint32_t FFilePosition = 0;
};

// Any chunk: its data is kept as it was read.
class TUnknownChunk : public TCustomChunk {
 public:
  TMemoryStream& DataStream() { return FDataStream; }
  const TMemoryStream& DataStream() const { return FDataStream; }
  uint8_t GetData(int Index) const;
  void SetData(int Index, uint8_t Value);

  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  void Assign(const TCustomChunk& Source) override;

 protected:
  TMemoryStream FDataStream;
};

// Big-endian helpers shared by the chunk units.
inline uint32_t ReadBigEndian32(const uint8_t* P) {
  return (uint32_t{P[0]} << 24) | (uint32_t{P[1]} << 16) | (uint32_t{P[2]} << 8) | uint32_t{P[3]};
}
inline uint16_t ReadBigEndian16(const uint8_t* P) {
  return static_cast<uint16_t>((P[0] << 8) | P[1]);
}
inline void WriteBigEndian32(uint8_t* P, uint32_t V) {
  P[0] = static_cast<uint8_t>(V >> 24);
  P[1] = static_cast<uint8_t>(V >> 16);
  P[2] = static_cast<uint8_t>(V >> 8);
  P[3] = static_cast<uint8_t>(V);
}

}  // namespace kvx
