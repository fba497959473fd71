// What the host asks of the operating system: loading plug-in libraries, files written in one
// step, heap statistics and child processes for isolated checks. One implementation per platform
// (KVX_HostSystem_Posix.cpp, KVX_HostSystem_Win32.cpp); file names are UTF-8 on both.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace kvx {

// A UTF-8 file name as a path, and back: the narrow forms of std::filesystem use the system's
// code page on Windows.
inline std::filesystem::path PathFromUtf8(const std::string& Text) {
  return std::filesystem::path(std::u8string(Text.begin(), Text.end()));
}
inline std::string Utf8FromPath(const std::filesystem::path& Path) {
  const std::u8string text = Path.u8string();
  return std::string(text.begin(), text.end());
}

// Opens the file for reading and answers its descriptor, or -1 with the reason in Reason.
int OpenFileForReading(const std::string& FileName, std::string& Reason);

// Loads the library at FileName (the file itself, never a search of the library path). Answers
// null with the system's reason in Reason on failure.
void* LoadPluginLibrary(const std::string& FileName, std::string& Reason);
// The address of an exported function, or null.
void* PluginLibrarySymbol(void* Library, const char* Name);
void UnloadPluginLibrary(void* Library);

// Creates a new, empty file whose name is Path with its last six characters (XXXXXX) replaced,
// with the permissions of the file Like if that exists (the file it is to replace), else those
// a plain create would give, and answers a descriptor open for writing (Path then holds the
// name), or -1 with the reason in Reason.
int CreateUniqueFile(std::string& Path, const std::string& Like, std::string& Reason);
void CloseFileDescriptor(int Descriptor);
// Puts the file From in the place of To, replacing what is there in one step.
bool RenameReplacing(const std::string& From, const std::string& To, std::string& Reason);

// Bytes the heap has handed out and not yet taken back.
size_t HeapInUse();

// The end of a check run in a child process.
struct TChildOutcome {
  // Why no child could be started; empty when one ran.
  std::string Error;
  // Everything the child wrote to its report descriptor.
  std::string Report;
  bool TimedOut = false;
  // How the child crashed ("signal 11 (Segmentation fault)"), empty when it did not.
  std::string Crash;
  // The exit status when it ended without a crash, else -1.
  int ExitCode = -1;
};

// Runs validation check CheckIndex on the plug-in at FileName in a child process whose
// stdout and stderr are silenced unless Verbose; kills it after TimeoutSeconds.
TChildOutcome RunCheckInChild(size_t CheckIndex, const std::string& FileName, double TimeoutSeconds, bool Verbose);

// The child's side: runs the check with its report going to ReportDescriptor (defined by the
// validator).
void RunCheckAsChild(size_t CheckIndex, const std::string& FileName, int ReportDescriptor);

}  // namespace kvx
