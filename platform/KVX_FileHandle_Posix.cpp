#include "platform/KVX_FileHandle.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvx {

namespace {
// One call moves at most this much; larger requests are the caller's loop.
constexpr int64_t CMaxTransfer = int64_t{1} << 30;
}  // namespace

int FileOpen(const std::string& FileName, TFileMode Mode, int64_t& Size) {
  const int flags = Mode == fmOpenRead ? O_RDONLY : Mode == fmCreate ? O_RDWR | O_CREAT | O_TRUNC : O_RDWR;
  int Handle = ::open(FileName.c_str(), flags | O_CLOEXEC, 0666);
  struct stat info {};
  if (Handle >= 0 && (::fstat(Handle, &info) != 0 || S_ISDIR(info.st_mode))) {
    ::close(Handle);
    Handle = -1;
  }
  Size = Handle >= 0 ? static_cast<int64_t>(info.st_size) : 0;
  return Handle;
}

void FileClose(int Handle) {
  if (Handle >= 0) ::close(Handle);
}

int64_t FileReadAt(int Handle, void* Buffer, int64_t Count, int64_t Offset) {
  for (;;) {
    const ssize_t got = ::pread(Handle, Buffer, static_cast<size_t>(std::min(Count, CMaxTransfer)),
                                static_cast<off_t>(Offset));
    if (got < 0 && errno == EINTR) continue;
    return got < 0 ? -1 : static_cast<int64_t>(got);
  }
}

int64_t FileWriteAt(int Handle, const void* Buffer, int64_t Count, int64_t Offset) {
  for (;;) {
    const ssize_t put = ::pwrite(Handle, Buffer, static_cast<size_t>(std::min(Count, CMaxTransfer)),
                                 static_cast<off_t>(Offset));
    if (put < 0 && errno == EINTR) continue;
    return put < 0 ? -1 : static_cast<int64_t>(put);
  }
}

bool FileTruncate(int Handle, int64_t Size) { return ::ftruncate(Handle, static_cast<off_t>(Size)) == 0; }

}  // namespace kvx
