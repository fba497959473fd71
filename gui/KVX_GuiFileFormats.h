// The process-wide registry of image file formats a map can be loaded from or saved to.
#pragma once

#include <memory>
#include <string>

#include "platform/KVX_Persistent.h"
#include "platform/KVX_Streams.h"

namespace kvx {

class TGuiCustomFileFormat;

// What the registry knows of one format class: its name, its class operations and its
// constructor. A format class usually describes itself with FileFormatClassOf<T>().
struct TGuiFileFormatClass {
  std::string Name;
  // True when the stream holds data of this format; leaves the stream position where it was.
  bool (*CanLoadStream)(TStream& Stream) = nullptr;
  // True when files with this extension (with its dot, as the file name spells it: ".png",
  // ".PNG") are of this format.
  bool (*CanHandleExtension)(const std::string& Extension) = nullptr;
  std::unique_ptr<TGuiCustomFileFormat> (*Create)() = nullptr;
};
using TGuiFileFormatClassRef = const TGuiFileFormatClass*;

// An image file format object: loads and saves its own data, and assigns itself to maps.
class TGuiCustomFileFormat : public TPersistent {
 public:
  std::string ClassName() const override { return "TGuiCustomFileFormat"; }

  virtual int32_t Width() const = 0;
  virtual void SetWidth(int32_t Value) = 0;
  virtual int32_t Height() const = 0;
  virtual void SetHeight(int32_t Value) = 0;

  virtual void LoadFromStream(TStream& Stream) = 0;
  virtual void SaveToStream(TStream& Stream) = 0;
  // Opens the file read-only and loads it.
  virtual void LoadFromFile(const std::string& FileName);
  // Creates (or truncates) the file and saves into it.
  virtual void SaveToFile(const std::string& FileName);
};

// Builds the class description of a format class T that has the static members
// CanLoad(TStream&), CanHandleExtension(const std::string&) and a default constructor. One
// description exists per class; Name is taken from the first call.
template <class T>
const TGuiFileFormatClass& FileFormatClassOf(const char* Name) {
  static const TGuiFileFormatClass Class{
      Name, [](TStream& Stream) { return T::CanLoad(Stream); },
      [](const std::string& Extension) { return T::CanHandleExtension(Extension); },
      []() -> std::unique_ptr<TGuiCustomFileFormat> { return std::make_unique<T>(); }};
  return Class;
}

// True when the file exists and Class can load it.
bool CanLoadFile(const TGuiFileFormatClass& Class, const std::string& FileName);

// Appends Class to the registry; registering the same class twice fails an assertion.
void RegisterFileFormat(const TGuiFileFormatClass& Class);
// Removes Class again (a unit that goes away, tests); unknown classes are ignored.
void UnregisterFileFormat(const TGuiFileFormatClass& Class);
// The first registered class that handles the extension (with its dot), else null.
TGuiFileFormatClassRef FindFileFormatByExtension(const std::string& Extension);
// The first registered class that can load the stream, else null. The stream position is kept.
TGuiFileFormatClassRef FindFileFormatByStream(TStream& Stream);

// The extension of a file name with its dot (".png"), or empty when it has none.
std::string ExtractFileExt(const std::string& FileName);

}  // namespace kvx
