#include "platform/KVX_Types.h"

namespace kvx {

void AssertionFailure(const char* Unit, int Line) {
  AssertionFailure(std::string("Assertion failure"), Unit, Line);
}

void AssertionFailure(const std::string& Message, const char* Unit, int Line) {
  throw EAssertionFailed(Message + " (" + Unit + ", line " + std::to_string(Line) + ")");
}

}  // namespace kvx
