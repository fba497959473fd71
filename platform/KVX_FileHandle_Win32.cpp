// Windows: C runtime descriptors opened with UTF-16 names; positioned transfers through the
// descriptor's system handle with an explicit offset.
#include "platform/KVX_FileHandle.h"
#include "platform/KVX_WideText_Win32.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>

namespace kvx {

namespace {

constexpr int64_t CMaxTransfer = int64_t{1} << 30;

OVERLAPPED At(int64_t Offset) {
  OVERLAPPED Where{};
  Where.Offset = static_cast<DWORD>(static_cast<uint64_t>(Offset) & 0xFFFFFFFFu);
  Where.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(Offset) >> 32);
  return Where;
}

}  // namespace

int FileOpen(const std::string& FileName, TFileMode Mode, int64_t& Size) {
  const int flags = Mode == fmOpenRead ? _O_RDONLY : Mode == fmCreate ? _O_RDWR | _O_CREAT | _O_TRUNC : _O_RDWR;
  Size = 0;
  const std::wstring Name = WideFromUtf8(FileName);
  if (Name.empty()) return -1;
  int Handle = _wopen(Name.c_str(), flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  struct _stat64 info {};
  if (Handle >= 0 && (_fstat64(Handle, &info) != 0 || (info.st_mode & _S_IFDIR) != 0)) {
    _close(Handle);
    Handle = -1;
  }
  if (Handle >= 0) Size = static_cast<int64_t>(info.st_size);
  return Handle;
}

void FileClose(int Handle) {
  if (Handle >= 0) _close(Handle);
}

int64_t FileReadAt(int Handle, void* Buffer, int64_t Count, int64_t Offset) {
  const auto File = reinterpret_cast<HANDLE>(_get_osfhandle(Handle));
  if (File == INVALID_HANDLE_VALUE) return -1;
  OVERLAPPED Where = At(Offset);
  DWORD Got = 0;
  if (!ReadFile(File, Buffer, static_cast<DWORD>(std::min(Count, CMaxTransfer)), &Got, &Where))
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  return static_cast<int64_t>(Got);
}

int64_t FileWriteAt(int Handle, const void* Buffer, int64_t Count, int64_t Offset) {
  const auto File = reinterpret_cast<HANDLE>(_get_osfhandle(Handle));
  if (File == INVALID_HANDLE_VALUE) return -1;
  OVERLAPPED Where = At(Offset);
  DWORD Put = 0;
  if (!WriteFile(File, Buffer, static_cast<DWORD>(std::min(Count, CMaxTransfer)), &Put, &Where)) return -1;
  return static_cast<int64_t>(Put);
}

bool FileTruncate(int Handle, int64_t Size) { return _chsize_s(Handle, Size) == 0; }

}  // namespace kvx
