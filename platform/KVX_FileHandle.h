// The system calls behind TFileStream: an open file read and written at explicit offsets, so
// that the stream keeps its own position and buffer. One implementation per system.
#pragma once

#include <cstdint>
#include <string>

#include "platform/KVX_Streams.h"

namespace kvx {

// Opens FileName (UTF-8) for Mode and stores its size in Size; answers -1 when it cannot be
// opened or names a folder. The handle is not inherited by child processes.
int FileOpen(const std::string& FileName, TFileMode Mode, int64_t& Size);
void FileClose(int Handle);
// Up to Count bytes at Offset: answers how many were moved, 0 at the end of the file, -1 on an
// error. Interrupted calls are repeated.
int64_t FileReadAt(int Handle, void* Buffer, int64_t Count, int64_t Offset);
int64_t FileWriteAt(int Handle, const void* Buffer, int64_t Count, int64_t Offset);
bool FileTruncate(int Handle, int64_t Size);

}  // namespace kvx
