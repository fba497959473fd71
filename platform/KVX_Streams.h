// Byte streams: the abstract TStream with a memory and a file implementation.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/KVX_Types.h"

namespace kvx {

enum TSeekOrigin : uint8_t { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Transfers up to Count bytes and answers how many were transferred.
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Moves the position and answers the new one; positions are clamped at 0.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  virtual int64_t Size() const = 0;
  virtual void SetSize(int64_t NewSize) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Value) { Seek(Value, soBeginning); }
  int64_t Remaining() { return Size() - Position(); }

  // Exactly Count bytes or EStreamError ("Stream read error" / "Stream write error").
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position (all of Source from its start when Count is 0).
  int64_t CopyFrom(TStream& Source, int64_t Count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> Data) : FData(std::move(Data)) {}

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() const override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t NewSize) override;

  void Clear();
  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  const std::vector<uint8_t>& Data() const { return FData; }

  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName) const;
  void LoadFromStream(TStream& Source);

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

enum TFileMode : uint8_t { fmOpenRead, fmCreate, fmOpenReadWrite };

// A file read through a buffer of its own: readers that take a file field by field (chunk
// headers, sizes, CRCs) cost a copy per field, not a system call. The size and position are
// kept here, so asking for them costs nothing either; writes go straight to the file.
class TFileStream : public TStream {
 public:
  // Raises EStreamError "Cannot open file \"name\"" when the file cannot be opened.
  TFileStream(const std::string& FileName, TFileMode Mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() const override;
  void SetSize(int64_t NewSize) override;

 private:
  static constexpr int64_t CBufferSize = 65536;
  void DropBuffer() { FBufferLength = 0; }

  int FHandle = -1;
  int64_t FPosition = 0;
  int64_t FSize = 0;
  std::vector<uint8_t> FBuffer;
  int64_t FBufferStart = 0;   // file offset of FBuffer[0]
  int64_t FBufferLength = 0;  // bytes of FBuffer that hold file data
};

}  // namespace kvx
