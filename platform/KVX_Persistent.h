// Persistent objects: copying through Assign/AssignTo and properties defined for a form stream.
#pragma once

#include <functional>
#include <string>

#include "platform/KVX_Streams.h"
#include "platform/KVX_Types.h"

namespace kvx {

// A refused assignment: "Cannot assign a TSource to a TDest".
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class TFiler;

class TPersistent {
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;

  // The class's own name, used in messages.
  virtual std::string ClassName() const { return "TPersistent"; }

  // Copies Source into this object. The base lets Source try (AssignTo); a class that knows
  // Source's kind overrides this and calls the inherited one for everything else.
  virtual void Assign(const TPersistent& Source);
  // Copies this object into Dest. The base refuses with EConvertError.
  virtual void AssignTo(TPersistent& Dest) const;

  // Identity unless a class defines equal contents.
  virtual bool Equals(const TPersistent& Obj) const { return this == &Obj; }

  // Declares the properties this object keeps in a form stream beyond its published ones.
  virtual void DefineProperties(TFiler& Filer);
};

// What a form-stream reader or writer offers to DefineProperties. A reader calls ReadData of a
// property it finds in the stream; a writer calls WriteData when HasData is true. The stream
// handed to either holds exactly the property's bytes.
class TFiler {
 public:
  using TStreamProc = std::function<void(TStream& Stream)>;

  virtual ~TFiler() = default;

  // The object of the ancestor form whose values need not be written again, or null.
  const TPersistent* Ancestor() const { return FAncestor; }
  void SetAncestor(const TPersistent* Value) { FAncestor = Value; }

  virtual void DefineBinaryProperty(const std::string& Name, const TStreamProc& ReadData,
                                    const TStreamProc& WriteData, bool HasData) = 0;

 private:
  const TPersistent* FAncestor = nullptr;
};

}  // namespace kvx
