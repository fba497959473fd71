#include "platform/KVX_NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace kvx {

double RoundToDecimals(double Value, int Decimals) {
  if (!std::isfinite(Value)) return Value;
  const double Scale = std::pow(10.0, Decimals);
  const double Scaled = Value * Scale;
  if (!std::isfinite(Scaled) || std::fabs(Scaled) >= 9007199254740992.0) return Value;
  return std::nearbyint(Scaled) / Scale;
}

std::string FloatToStrGeneral(double Value, int Digits, const std::string& DecimalSeparator) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  if (Digits < 1) Digits = 1;
  if (Digits > 17) Digits = 17;
  if (Value == 0.0) return "0";

  // %e gives the correctly rounded significant digits and the decimal exponent. Whatever radix
  // character the process locale puts in it is skipped: only the digits are taken.
  char Buffer[64];
  std::snprintf(Buffer, sizeof(Buffer), "%.*e", Digits - 1, Value);
  std::string Mantissa;
  const char* p = Buffer;
  const bool Negative = (*p == '-');
  if (Negative) ++p;
  for (; *p != '\0' && *p != 'e' && *p != 'E'; ++p)
    if (*p >= '0' && *p <= '9') Mantissa.push_back(*p);
  int Exponent = (*p != '\0') ? std::atoi(p + 1) : 0;
  while (Mantissa.size() > 1 && Mantissa.back() == '0') Mantissa.pop_back();
  if (Mantissa == "0") return "0";

  std::string Result = Negative ? "-" : "";
  if (Exponent >= Digits || Exponent < -5) {
    Result += Mantissa[0];
    if (Mantissa.size() > 1) Result.append(DecimalSeparator).append(Mantissa, 1, std::string::npos);
    Result.push_back('E');
    Result.append(std::to_string(Exponent));
    return Result;
  }
  if (Exponent < 0) {
    Result.push_back('0');
    Result.append(DecimalSeparator);
    Result.append(static_cast<size_t>(-Exponent - 1), '0');
    Result.append(Mantissa);
    return Result;
  }
  const size_t IntegerDigits = static_cast<size_t>(Exponent) + 1;
  if (Mantissa.size() <= IntegerDigits) {
    Result += Mantissa + std::string(IntegerDigits - Mantissa.size(), '0');
  } else {
    Result += Mantissa.substr(0, IntegerDigits) + DecimalSeparator + Mantissa.substr(IntegerDigits);
  }
  return Result;
}

std::string FloatToStrShortest(float Value, const std::string& DecimalSeparator) {
  if (!std::isfinite(Value)) return FloatToStrGeneral(Value, 9, DecimalSeparator);
  for (int Digits = 6; Digits < 9; ++Digits) {
    double Back = 0;
    if (TryStrToFloat(FloatToStrGeneral(Value, Digits, "."), ".", Back) &&
        static_cast<float>(Back) == Value)
      return FloatToStrGeneral(Value, Digits, DecimalSeparator);
  }
  return FloatToStrGeneral(Value, 9, DecimalSeparator);
}

bool TryStrToFloat(const std::string& Text, const std::string& DecimalSeparator, double& Value) {
  // Validate the grammar with the given separator and rewrite the number for from_chars, which
  // knows nothing of locales.
  std::string Plain;
  size_t i = 0;
  const size_t n = Text.size();
  if (i < n && (Text[i] == '+' || Text[i] == '-')) {
    if (Text[i] == '-') Plain.push_back('-');
    ++i;
  }
  int MantissaDigits = 0;
  bool SeenSeparator = false;
  while (i < n) {
    if (Text[i] >= '0' && Text[i] <= '9') {
      Plain.push_back(Text[i]);
      ++MantissaDigits;
      ++i;
    } else if (!SeenSeparator && !DecimalSeparator.empty() &&
               Text.compare(i, DecimalSeparator.size(), DecimalSeparator) == 0) {
      Plain.push_back('.');
      SeenSeparator = true;
      i += DecimalSeparator.size();
    } else {
      break;
    }
  }
  if (MantissaDigits == 0) return false;
  if (i < n && (Text[i] == 'E' || Text[i] == 'e')) {
    Plain.push_back('e');
    ++i;
    if (i < n && (Text[i] == '+' || Text[i] == '-')) Plain.push_back(Text[i++]);
    int ExponentDigits = 0;
    while (i < n && Text[i] >= '0' && Text[i] <= '9') {
      Plain.push_back(Text[i++]);
      ++ExponentDigits;
    }
    if (ExponentDigits == 0) return false;
  }
  if (i != n) return false;
  double Result = 0;
  const auto [End, Error] = std::from_chars(Plain.data(), Plain.data() + Plain.size(), Result);
  if (Error != std::errc() || End != Plain.data() + Plain.size()) return false;
  Value = Result;
  return true;
}

}  // namespace kvx
