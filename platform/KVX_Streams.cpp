#include "platform/KVX_Streams.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/KVX_FileHandle.h"

namespace kvx {

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count < 0 || Read(Buffer, Count) != Count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count < 0 || Write(Buffer, Count) != Count) throw EStreamError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count == 0) {
    Source.SetPosition(0);
    Count = Source.Size();
  }
  uint8_t chunk[65536];
  int64_t done = 0;
  while (done < Count) {
    const int64_t n = std::min<int64_t>(Count - done, sizeof chunk);
    Source.ReadBuffer(chunk, n);
    WriteBuffer(chunk, n);
    done += n;
  }
  return done;
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition >= Size()) return 0;
  const int64_t n = std::min(Count, Size() - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (FPosition > std::numeric_limits<int64_t>::max() - Count) return 0;
  const int64_t end = FPosition + Count;
  if (end > Size()) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : Size();
  if (Offset > 0 && base > std::numeric_limits<int64_t>::max() - Offset) base = std::numeric_limits<int64_t>::max() - Offset;
  FPosition = std::max<int64_t>(0, base + Offset);
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  FData.resize(static_cast<size_t>(std::max<int64_t>(0, NewSize)));
  FPosition = std::min(FPosition, Size());
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream f(FileName, fmOpenRead);
  LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const std::string& FileName) const {
  TFileStream f(FileName, fmCreate);
  f.WriteBuffer(FData.data(), Size());
}

void TMemoryStream::LoadFromStream(TStream& Source) {
  Source.SetPosition(0);
  std::vector<uint8_t> data(static_cast<size_t>(Source.Size()));
  Source.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
  FData = std::move(data);
  FPosition = 0;
}

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) {
  FHandle = FileOpen(FileName, Mode, FSize);
  if (FHandle < 0) throw EStreamError("Cannot open file \"" + FileName + "\"");
}

TFileStream::~TFileStream() { FileClose(FHandle); }

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  auto* out = static_cast<uint8_t*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    // From the buffer while it holds the position.
    if (FPosition >= FBufferStart && FPosition < FBufferStart + FBufferLength) {
      const int64_t n = std::min(Count - done, FBufferStart + FBufferLength - FPosition);
      std::memcpy(out + done, FBuffer.data() + (FPosition - FBufferStart), static_cast<size_t>(n));
      done += n;
      FPosition += n;
      continue;
    }
    // Large reads go straight into the caller's memory; small ones refill the buffer.
    const int64_t want = Count - done;
    if (want >= CBufferSize) {
      const int64_t got = FileReadAt(FHandle, out + done, want, FPosition);
      if (got <= 0) break;
      done += got;
      FPosition += got;
      continue;
    }
    if (FBuffer.empty()) FBuffer.resize(static_cast<size_t>(CBufferSize));
    const int64_t got = FileReadAt(FHandle, FBuffer.data(), CBufferSize, FPosition);
    FBufferStart = FPosition;
    FBufferLength = got > 0 ? got : 0;
    if (got <= 0) break;
  }
  return done;
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  // The buffer may hold bytes this write replaces.
  DropBuffer();
  const auto* in = static_cast<const uint8_t*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    const int64_t put = FileWriteAt(FHandle, in + done, Count - done, FPosition);
    if (put <= 0) break;
    done += put;
    FPosition += put;
  }
  FSize = std::max(FSize, FPosition);
  return done;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : FSize;
  if (Offset > 0 && base > std::numeric_limits<int64_t>::max() - Offset) base = std::numeric_limits<int64_t>::max() - Offset;
  FPosition = std::max<int64_t>(0, base + Offset);
  return FPosition;
}

int64_t TFileStream::Size() const { return FSize; }

void TFileStream::SetSize(int64_t NewSize) {
  NewSize = std::max<int64_t>(0, NewSize);
  DropBuffer();
  if (!FileTruncate(FHandle, NewSize)) throw EStreamError("Stream write error");
  FSize = NewSize;
}

}  // namespace kvx
