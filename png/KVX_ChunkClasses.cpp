#include "png/KVX_ChunkClasses.h"

#include <algorithm>
#include <cstring>

namespace kvx {

namespace {

uint32_t Swap32(uint32_t V) {
  return (V >> 24) | ((V >> 8) & 0xFF00u) | ((V << 8) & 0xFF0000u) | (V << 24);
}

uint32_t DecodeSize(const uint8_t* P, TChunkFlags Flags) {
  uint32_t v;
  std::memcpy(&v, P, 4);  // the machine is little-endian; the flag asks for the other order
  return Flags.Contains(cfReversedByteOrder) ? Swap32(v) : v;
}

void EncodeSize(uint8_t* P, uint32_t V, TChunkFlags Flags) {
  if (Flags.Contains(cfReversedByteOrder)) V = Swap32(V);
  std::memcpy(P, &V, 4);
}

}  // namespace

TCustomChunk::TCustomChunk() = default;

std::string TCustomChunk::ChunkName() const { return std::string(FChunkName.data(), 4); }

void TCustomChunk::SetChunkName(const std::string& Value) {
  FChunkName.fill(0);
  std::memcpy(FChunkName.data(), Value.data(), std::min<size_t>(4, Value.size()));
}

void TCustomChunk::ReadHeader(TStream& Stream) {
  uint8_t head[8];
  Stream.ReadBuffer(head, 8);
  const int nameAt = FChunkFlags.Contains(cfSizeFirst) ? 4 : 0;
  std::memcpy(FChunkName.data(), head + nameAt, 4);
  FChunkSize = DecodeSize(head + (4 - nameAt), FChunkFlags);
}

void TCustomChunk::WriteHeader(TStream& Stream) {
  uint8_t head[8];
  const int nameAt = FChunkFlags.Contains(cfSizeFirst) ? 4 : 0;
  std::memcpy(head + nameAt, FChunkName.data(), 4);
  EncodeSize(head + (4 - nameAt), FChunkSize, FChunkFlags);
  Stream.WriteBuffer(head, 8);
}

void TCustomChunk::LoadFromStream(TStream& Stream) { ReadHeader(Stream); }

void TCustomChunk::SaveToStream(TStream& Stream) { WriteHeader(Stream); }

void TCustomChunk::LoadFromFile(const std::string& FileName) {
  TFileStream f(FileName, fmOpenRead);
  LoadFromStream(f);
}

void TCustomChunk::SaveToFile(const std::string& FileName) {
  TFileStream f(FileName, fmCreate);
  SaveToStream(f);
}

void TCustomChunk::Assign(const TCustomChunk& Source) {
  FChunkName = Source.FChunkName;
  FChunkSize = Source.FChunkSize;
  FChunkFlags = Source.FChunkFlags;
}

std::string TDefinedChunk::ChunkName() const {
  const TChunkName own = GetClassChunkName();
  return std::string(own.data(), 4);
}

void TDefinedChunk::SetChunkName(const std::string& Value) {
  TCustomChunk::SetChunkName(Value);
  const TChunkName own = GetClassChunkName();
  const bool same = Value.size() == 4 && std::memcmp(Value.data(), own.data(), 4) == 0;
  if (!same) {
    // The class name is what the chunk always carries.
    FChunkName = own;
    throw Exception("Chunk name must always be '" + std::string(own.data(), 4) + "'");
  }
}

void TDefinedChunk::LoadFromStream(TStream& Stream) {
  const int64_t start = Stream.Position();
  char name[4];
  if (FChunkFlags.Contains(cfSizeFirst)) Stream.Seek(4, soCurrent);
  Stream.ReadBuffer(name, 4);
  Stream.SetPosition(start);
  const TChunkName own = GetClassChunkName();
  KVX_ASSERT(std::memcmp(name, own.data(), 4) == 0, "KVX_ChunkClasses");
  TCustomChunk::LoadFromStream(Stream);
}

void TDefinedChunk::Assign(const TCustomChunk& Source) {
  TCustomChunk::Assign(Source);
  if (auto* d = dynamic_cast<const TDefinedChunk*>(&Source)) FFilePosition = d->FFilePosition;
}

uint8_t TUnknownChunk::GetData(int Index) const {
  if (Index < 0 || Index >= FDataStream.Size())
    throw Exception("Index out of bounds (" + std::to_string(Index) + ")");
  return FDataStream.Memory()[Index];
}

void TUnknownChunk::SetData(int Index, uint8_t Value) {
  if (Index < 0 || Index >= FDataStream.Size())
    throw Exception("Index out of bounds (" + std::to_string(Index) + ")");
  FDataStream.Memory()[Index] = Value;
}

void TUnknownChunk::LoadFromStream(TStream& Stream) {
  TCustomChunk::LoadFromStream(Stream);
  int64_t size = FChunkSize;
  if (FChunkFlags.Contains(cfIncludeChunkInSize)) size -= 8;
  KVX_ASSERT(size >= 0 && Stream.Remaining() >= size, "KVX_ChunkClasses");
  KVX_ASSERT(FChunkName != TChunkName{}, "KVX_ChunkClasses");
  FDataStream.Clear();
  FDataStream.SetSize(size);
  Stream.ReadBuffer(FDataStream.Memory(), size);
  FDataStream.SetPosition(0);
  if (FChunkFlags.Contains(cfPadSize) && (size & 1) != 0 && Stream.Remaining() > 0)
    Stream.Seek(1, soCurrent);
}

void TUnknownChunk::SaveToStream(TStream& Stream) {
  const int64_t size = FDataStream.Size();
  FChunkSize = static_cast<uint32_t>(size + (FChunkFlags.Contains(cfIncludeChunkInSize) ? 8 : 0));
  WriteHeader(Stream);
  Stream.WriteBuffer(FDataStream.Memory(), size);
  if (FChunkFlags.Contains(cfPadSize) && (size & 1) != 0) {
    const uint8_t zero = 0;
    Stream.WriteBuffer(&zero, 1);
  }
}

void TUnknownChunk::Assign(const TCustomChunk& Source) {
  TCustomChunk::Assign(Source);
  if (auto* u = dynamic_cast<const TUnknownChunk*>(&Source)) {
    FDataStream.Clear();
    FDataStream.WriteBuffer(u->FDataStream.Memory(), u->FDataStream.Size());
    FDataStream.SetPosition(0);
  }
}

}  // namespace kvx
