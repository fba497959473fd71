// The one number formatter and parser of the system: the general number format (shortest form,
// at most N significant digits, trailing zeros dropped) and the decimal separator of the user's
// locale. The separator comes from the user's settings (the environment on Linux, the user
// locale on Windows), never from the host process's global locale, which is neither consulted
// nor changed.
#pragma once

#include <string>

namespace kvx {

// The decimal separator of the user's numeric locale, or "." when none can be had: on Linux from
// the environment (LC_ALL, LC_NUMERIC, LANG; "." when it names no installed locale), on Windows
// the user default locale's LOCALE_SDECIMAL in UTF-8. Asks again on every call.
std::string UserDecimalSeparator();

// Writes Value in the general number format with at most Digits significant digits (1..17):
// no decimal separator for whole numbers, trailing zeros dropped, a minus sign for negatives,
// never "-0". Magnitudes that need more than Digits integer digits, and non-zero magnitudes below
// 1E-5, are written as mantissa "E" exponent ("1.235E4", "1E-6"). Not-a-number and infinities
// give "NAN", "INF" and "-INF"; callers that show texts handle them before.
std::string FloatToStrGeneral(double Value, int Digits, const std::string& DecimalSeparator);

// The general number format with the fewest significant digits (6 to 9) that read back as the
// same 32-bit float: a float written with its full precision.
std::string FloatToStrShortest(float Value, const std::string& DecimalSeparator);

// Rounds Value to Decimals decimal places, halves to even (0 <= Decimals <= 15).
double RoundToDecimals(double Value, int Decimals);

// Reads a decimal number: optional sign, digits with at most one DecimalSeparator, at least one
// digit, an optional exponent "E"/"e" with optional sign and digits. The whole text must be the
// number (no blanks). Answers false and leaves Value unchanged on anything else.
bool TryStrToFloat(const std::string& Text, const std::string& DecimalSeparator, double& Value);

}  // namespace kvx
