#include "platform/KVX_Persistent.h"

#include <bit>
#include <cstdint>

namespace kvx {

void TPersistent::Assign(const TPersistent& Source) { Source.AssignTo(*this); }

void TPersistent::Assign(const TPersistent* Source) {
  if (Source == nullptr) throw EConvertError("Cannot assign a nil to a " + ClassName());
  Assign(*Source);
}

void TPersistent::AssignTo(TPersistent& Dest) const {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + Dest.ClassName());
}

void TPersistent::DefineProperties(TFiler&) {}

void TFiler::DefineFloatProperty(const std::string& Name, const TFloatReadProc& ReadData,
                                 const TFloatWriteProc& WriteData, bool HasData) {
  constexpr int64_t CSize = 8;
  DefineBinaryProperty(
      Name,
      [ReadData](TStream& Stream) {
        if (Stream.Remaining() != CSize) throw EStreamError("Invalid float property");
        uint8_t Bytes[CSize];
        Stream.ReadBuffer(Bytes, CSize);
        uint64_t Bits = 0;
        for (int i = CSize - 1; i >= 0; --i) Bits = (Bits << 8) | Bytes[i];
        if (ReadData) ReadData(std::bit_cast<double>(Bits));
      },
      [WriteData](TStream& Stream) {
        uint64_t Bits = std::bit_cast<uint64_t>(WriteData ? WriteData() : 0.0);
        uint8_t Bytes[CSize];
        for (int i = 0; i < CSize; ++i, Bits >>= 8) Bytes[i] = static_cast<uint8_t>(Bits);
        Stream.WriteBuffer(Bytes, CSize);
      },
      HasData);
}

}  // namespace kvx
