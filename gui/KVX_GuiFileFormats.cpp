#include "gui/KVX_GuiFileFormats.h"

#include <algorithm>
#include <vector>

namespace kvx {

namespace {

// Filled while units start; function-local so that registration from any unit's static
// initialisation finds it constructed.
std::vector<TGuiFileFormatClassRef>& Registry() {
  static std::vector<TGuiFileFormatClassRef> List;
  return List;
}

}  // namespace

void TGuiCustomFileFormat::LoadFromFile(const std::string& FileName) {
  TFileStream Stream(FileName, fmOpenRead);
  LoadFromStream(Stream);
}

void TGuiCustomFileFormat::SaveToFile(const std::string& FileName) {
  TFileStream Stream(FileName, fmCreate);
  SaveToStream(Stream);
}

bool CanLoadFile(const TGuiFileFormatClass& Class, const std::string& FileName) {
  try {
    TFileStream Stream(FileName, fmOpenRead);
    return Class.CanLoadStream && Class.CanLoadStream(Stream);
  } catch (const Exception&) {
    return false;
  }
}

void RegisterFileFormat(const TGuiFileFormatClass& Class) {
  auto& List = Registry();
  KVX_ASSERT(std::find(List.begin(), List.end(), &Class) == List.end(), "KVX_GuiFileFormats");
  List.push_back(&Class);
}

void UnregisterFileFormat(const TGuiFileFormatClass& Class) {
  auto& List = Registry();
  List.erase(std::remove(List.begin(), List.end(), &Class), List.end());
}

TGuiFileFormatClassRef FindFileFormatByExtension(const std::string& Extension) {
  for (TGuiFileFormatClassRef Class : Registry())
    if (Class->CanHandleExtension && Class->CanHandleExtension(Extension)) return Class;
  return nullptr;
}

TGuiFileFormatClassRef FindFileFormatByStream(TStream& Stream) {
  const int64_t Position = Stream.Position();
  for (TGuiFileFormatClassRef Class : Registry()) {
    if (!Class->CanLoadStream) continue;
    bool CanLoad = false;
    try {
      CanLoad = Class->CanLoadStream(Stream);
    } catch (const Exception&) {
      // A stream too short for the format's signature is simply not of that format.
    }
    Stream.SetPosition(Position);
    if (CanLoad) return Class;
  }
  return nullptr;
}

std::string ExtractFileExt(const std::string& FileName) {
  const size_t Dot = FileName.find_last_of('.');
  const size_t Slash = FileName.find_last_of('/');
  if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash)) return {};
  return FileName.substr(Dot);
}

}  // namespace kvx
