#include "platform/KVX_Streams.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unistd.h>

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
  const char* mode = Mode == fmOpenRead ? "rb" : Mode == fmCreate ? "w+b" : "r+b";
  FFile = std::fopen(FileName.c_str(), mode);
  if (!FFile) throw EStreamError("Cannot open file \"" + FileName + "\"");
}

TFileStream::~TFileStream() {
  if (FFile) std::fclose(FFile);
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  return static_cast<int64_t>(std::fread(Buffer, 1, static_cast<size_t>(Count), FFile));
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  return static_cast<int64_t>(std::fwrite(Buffer, 1, static_cast<size_t>(Count), FFile));
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  if (Origin == soCurrent && Offset == 0) return static_cast<int64_t>(ftello(FFile));
  if (fseeko(FFile, static_cast<off_t>(Offset), whence) != 0) fseeko(FFile, 0, SEEK_SET);
  return static_cast<int64_t>(ftello(FFile));
}

int64_t TFileStream::Size() const {
  const off_t pos = ftello(FFile);
  fseeko(FFile, 0, SEEK_END);
  const off_t size = ftello(FFile);
  fseeko(FFile, pos, SEEK_SET);
  return static_cast<int64_t>(size);
}

void TFileStream::SetSize(int64_t NewSize) {
  std::fflush(FFile);
  if (ftruncate(fileno(FFile), static_cast<off_t>(std::max<int64_t>(0, NewSize))) != 0)
    throw EStreamError("Stream write error");
}

}  // namespace kvx
