// Persistent objects: copying through Assign/AssignTo and properties defined for a form stream.
#pragma once

#include <functional>
#include <string>

#include "platform/KVX_Streams.h"
#include "platform/KVX_Types.h"

namespace kvx {

// A refused assignment: "Cannot assign a TSource to a TDest".
class EConvertError : public EInvalidOperation {
 public:
  using EInvalidOperation::EInvalidOperation;
};

// Root of the object tree that events name as their sender.
class TObject {
 public:
  virtual ~TObject() = default;
};

// An event that receives only its sender.
using TNotifyEvent = std::function<void(TObject* Sender)>;

class TFiler;

class TPersistent : public TObject {
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;

  // The class's own name, used in messages.
  virtual std::string ClassName() const { return "TPersistent"; }

  // Copies Source into this object. The base lets Source try (AssignTo); a class that knows
  // Source's kind overrides this and calls the inherited one for everything else.
  virtual void Assign(const TPersistent& Source);
  // The same for a source that may be missing; a null source is refused with EConvertError.
  void Assign(const TPersistent* Source);
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

  // A property holding one floating-point number. A reader calls ReadData with the number it
  // finds; a writer asks WriteData for it when HasData is true. A filer that keeps no numbers of
  // its own carries the value as a binary property of 8 bytes (the IEEE double, little-endian),
  // so that every filer round-trips it; a binary value of another length is refused with
  // EStreamError.
  using TFloatReadProc = std::function<void(double Value)>;
  using TFloatWriteProc = std::function<double()>;
  virtual void DefineFloatProperty(const std::string& Name, const TFloatReadProc& ReadData,
                                   const TFloatWriteProc& WriteData, bool HasData);

 private:
  const TPersistent* FAncestor = nullptr;
};

}  // namespace kvx
