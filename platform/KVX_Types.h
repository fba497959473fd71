// Types shared by every unit: the error classes, the assertion macro and small value sets.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>

namespace kvx {

// Base of every error the library raises. Host entries catch it (and everything else) at the
// boundary; nothing ever crosses the C entry points.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Errors of the host binding ("AudioMaster Error", "Unknown OpCode").
class EVstError : public Exception {
 public:
  using Exception::Exception;
};

// Errors of the PNG units.
class EPngError : public Exception {
 public:
  using Exception::Exception;
};

// Internal consistency checks: "Assertion failure (Unit, line N)".
class EAssertionFailed : public Exception {
 public:
  using Exception::Exception;
};

// An operation that is not allowed in the object's current state.
class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

// An argument outside what the operation accepts ("Must be positive!").
class EArgumentError : public Exception {
 public:
  using Exception::Exception;
};

// Stream reads and writes that could not transfer the bytes asked for.
class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

// Raises EAssertionFailed with "Assertion failure (Unit, line N)".
[[noreturn]] void AssertionFailure(const char* Unit, int Line);
// Raises EAssertionFailed with "<Message> (Unit, line N)".
[[noreturn]] void AssertionFailure(const std::string& Message, const char* Unit, int Line);

}  // namespace kvx

// KVX_ASSERT(condition, "KVX_GuiCustomControl") raises EAssertionFailed naming the unit and line.
#define KVX_ASSERT(Condition, Unit)                                 \
  do {                                                              \
    if (!(Condition)) ::kvx::AssertionFailure((Unit), __LINE__);    \
  } while (0)

// The same with a message of its own in place of "Assertion failure".
#define KVX_ASSERT_MSG(Condition, Message, Unit)                            \
  do {                                                                      \
    if (!(Condition)) ::kvx::AssertionFailure((Message), (Unit), __LINE__); \
  } while (0)

namespace kvx {

// A set of enumeration members, stored as a mask whose bit numbers are the members' ordinals.
template <typename E, typename TMask = uint32_t>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> Members) {
    for (E m : Members) Include(m);
  }
  static constexpr TSet FromMask(TMask Mask) {
    TSet s;
    s.FMask = Mask;
    return s;
  }
  constexpr TMask Mask() const { return FMask; }
  constexpr bool Contains(E Member) const { return (FMask & Bit(Member)) != 0; }
  constexpr TSet& Include(E Member) {
    FMask = static_cast<TMask>(FMask | Bit(Member));
    return *this;
  }
  constexpr TSet& Exclude(E Member) {
    FMask = static_cast<TMask>(FMask & ~Bit(Member));
    return *this;
  }
  constexpr bool Empty() const { return FMask == 0; }
  constexpr TSet operator|(TSet Other) const { return FromMask(static_cast<TMask>(FMask | Other.FMask)); }
  constexpr TSet operator&(TSet Other) const { return FromMask(static_cast<TMask>(FMask & Other.FMask)); }
  constexpr TSet operator-(TSet Other) const { return FromMask(static_cast<TMask>(FMask & ~Other.FMask)); }
  constexpr TSet operator|(E Member) const { return TSet(*this).Include(Member); }
  constexpr bool operator==(const TSet&) const = default;

 private:
  static constexpr TMask Bit(E Member) {
    return static_cast<TMask>(TMask{1} << static_cast<unsigned>(Member));
  }
  TMask FMask{};
};

}  // namespace kvx
