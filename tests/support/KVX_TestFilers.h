// Form-stream filers for the persistence tests: a writer that keeps the bytes of each binary
// property written, and a reader that hands each stored property back to its reader. Filers that
// know only binary properties, as the map and PNG filers do.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/KVX_Persistent.h"
#include "platform/KVX_Streams.h"

namespace kvx::test {

class TBinaryPropertyWriter : public TFiler {
 public:
  std::map<std::string, std::vector<uint8_t>> Properties;
  void DefineBinaryProperty(const std::string& Name, const TStreamProc&, const TStreamProc& WriteData,
                            bool HasData) override {
    if (!HasData) return;
    TMemoryStream Stream;
    WriteData(Stream);
    Properties[Name] = Stream.Data();
  }
};

class TBinaryPropertyReader : public TFiler {
 public:
  std::map<std::string, std::vector<uint8_t>> Properties;
  void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData, const TStreamProc&,
                            bool) override {
    auto It = Properties.find(Name);
    if (It == Properties.end()) return;
    TMemoryStream Stream(It->second);
    ReadData(Stream);
  }
};

}  // namespace kvx::test
