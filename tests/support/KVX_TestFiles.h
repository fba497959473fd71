// Files and folders in the suites: what the system running them can make.
#pragma once

#include <filesystem>
#include <system_error>

namespace kvx::test {

// Whether symbolic links can be made in Folder (Windows makes them only with a privilege, Wine
// not at all).
inline bool CanMakeSymbolicLinks(const std::filesystem::path& Folder) {
  const std::filesystem::path Probe = Folder / "kvx-link-probe";
  std::error_code Error;
  std::filesystem::create_symlink("kvx-link-probe-target", Probe, Error);
  if (Error) return false;
  std::filesystem::remove(Probe, Error);
  return true;
}

}  // namespace kvx::test
