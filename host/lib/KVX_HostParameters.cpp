#include "host/lib/KVX_HostParameters.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <cmath>

namespace kvx {

namespace {

std::string Trim(const std::string& Text) {
  size_t a = 0, b = Text.size();
  while (a < b && std::isspace(static_cast<unsigned char>(Text[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(Text[b - 1]))) --b;
  return Text.substr(a, b - a);
}

// Lower case without blanks: "16 X" and "16x" compare equal.
std::string Folded(const std::string& Text) {
  std::string out;
  for (unsigned char c : Text)
    if (!std::isspace(c)) out += static_cast<char>(std::tolower(c));
  return out;
}

// The number that fills the whole text, with either separator; false otherwise.
bool ParseWholeNumber(const std::string& Text, double& Value) {
  std::string t = Trim(Text);
  std::replace(t.begin(), t.end(), ',', '.');
  if (!t.empty() && t[0] == '+') t.erase(0, 1);
  if (t.empty()) return false;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), Value);
  return ec == std::errc() && end == t.data() + t.size() && std::isfinite(Value);
}

enum TNumberSplit { nsNone, nsNumber, nsOverflow };

// The number at the start of Text (sign, digits, either decimal separator, exponent) and the
// trimmed text behind it. nsOverflow for a number too large for a double ("1e309").
TNumberSplit SplitLeadingNumber(const std::string& Text, double& Value, std::string& Rest) {
  const std::string t = Trim(Text);
  size_t i = 0;
  std::string number;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
    if (t[i] == '-') number += '-';
    ++i;
  }
  auto digits = [&] {
    size_t n = 0;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) number += t[i++], ++n;
    return n;
  };
  size_t count = digits();
  if (i + 1 < t.size() && (t[i] == '.' || t[i] == ',') && std::isdigit(static_cast<unsigned char>(t[i + 1]))) {
    number += '.';
    ++i;
    count += digits();
  }
  if (count == 0) return nsNone;
  if (i + 1 < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    size_t j = i + 1;
    const bool negative = j < t.size() && t[j] == '-';
    if (j < t.size() && (t[j] == '-' || t[j] == '+')) ++j;
    if (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) {
      number += negative ? "e-" : "e";
      i = j;
      digits();
    }
  }
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), Value);
  if (ec == std::errc::result_out_of_range) {
    // Too small to tell from 0 is 0; too large is out of range.
    const size_t e = number.find('e');
    if (e == std::string::npos || number[e + 1] != '-') return nsOverflow;
    Value = 0;
  } else if (ec != std::errc() || end != number.data() + number.size()) {
    return nsNone;
  }
  Rest = Trim(t.substr(i));
  return nsNumber;
}

// The unit a label names: "%" and "dB" as they are, "dB" of "dB *0,1", "x" of "1x/8x/16x"; none
// for a list of texts such as "On/Off".
std::string ParameterUnit(const std::string& Label) {
  std::string word = Trim(Label);
  word = word.substr(0, word.find(' '));
  if (word.find('/') == std::string::npos) return word;
  std::string unit;
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(word.find('/', start), word.size());
    const std::string alternative = word.substr(start, end - start);
    size_t d = 0;
    while (d < alternative.size() && std::isdigit(static_cast<unsigned char>(alternative[d]))) ++d;
    if (d == 0 || (start > 0 && alternative.substr(d) != unit)) return "";
    unit = alternative.substr(d);
    if (end == word.size()) return unit;
    start = end + 1;
  }
}

// What may follow the number: nothing, the unit, or the whole label.
bool UnitMatches(const std::string& Rest, const std::string& Label) {
  const std::string rest = Folded(Rest);
  return rest.empty() || rest == Folded(ParameterUnit(Label)) || rest == Folded(Label);
}

struct TSample {
  double X;
  std::string Text;
  bool Numeric;
  double Number;
  int Decimals;
};

TSample ReadSample(TVstHostPlugin& Plugin, int32_t Index, double X) {
  TSample s{X, {}, false, 0, 0};
  Plugin.SetParameter(Index, static_cast<float>(X));
  s.Text = Plugin.ParameterDisplay(Index);
  s.Numeric = ParseDisplayNumber(s.Text, s.Number, &s.Decimals);
  return s;
}

// Half a unit of the last digit the display shows: the display cannot tell values closer apart.
double Tolerance(int Decimals, double Target) {
  return 0.5 * std::pow(10.0, -Decimals) + 1e-9 * std::fabs(Target);
}

bool Matches(const TSample& S, double Target) {
  return S.Numeric && std::fabs(S.Number - Target) <= Tolerance(S.Decimals, Target);
}

std::string FormatNumber(double V) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", V);
  return text;
}

float NumericHostValue(TVstHostPlugin& Plugin, int32_t Index, const std::string& Name, double Target,
                       bool& Found) {
  Found = false;
  constexpr int CSteps = 128;
  std::vector<TSample> samples;
  for (int k = 0; k <= CSteps; ++k) samples.push_back(ReadSample(Plugin, Index, static_cast<double>(k) / CSteps));
  // An end that shows no number ("-inf", "off") hides how far the numbers reach: look closer.
  if (!samples.front().Numeric) {
    std::vector<TSample> near;
    for (int j = 24; j >= 1; --j) near.push_back(ReadSample(Plugin, Index, std::ldexp(1.0 / CSteps, -j)));
    samples.insert(samples.begin() + 1, near.begin(), near.end());
  }
  if (!samples.back().Numeric) {
    std::vector<TSample> near;
    for (int j = 1; j <= 24; ++j) near.push_back(ReadSample(Plugin, Index, 1.0 - std::ldexp(1.0 / CSteps, -j)));
    samples.insert(samples.end() - 1, near.begin(), near.end());
  }
  std::vector<const TSample*> numeric;
  for (const TSample& s : samples)
    if (s.Numeric) numeric.push_back(&s);
  if (numeric.empty()) return 0;  // nothing numeric: the caller tries the texts
  Found = true;

  const TSample& a = *numeric.front();
  const TSample& b = *numeric.back();
  double low = a.Number, high = a.Number;
  for (const TSample* s : numeric) {
    low = std::min(low, s->Number);
    high = std::max(high, s->Number);
  }
  const std::string label = Trim(Plugin.ParameterLabel(Index));
  const std::string range = Name + " takes values from " + FormatNumber(low) + " to " + FormatNumber(high) +
                            (label.empty() ? "" : " " + label);
  if (Target < low - Tolerance(a.Decimals, low) || Target > high + Tolerance(b.Decimals, high))
    throw EArgumentError("value " + FormatNumber(Target) + " is out of range: " + range);

  // The linear guess through the ends of the displayed range.
  if (b.Number != a.Number) {
    const double x = std::clamp(a.X + (Target - a.Number) / (b.Number - a.Number) * (b.X - a.X), 0.0, 1.0);
    const TSample s = ReadSample(Plugin, Index, x);
    if (Matches(s, Target)) return static_cast<float>(x);
  }
  for (const TSample& s : samples)
    if (Matches(s, Target) && (s.X == 0 || s.X == 1)) {
      Plugin.SetParameter(Index, static_cast<float>(s.X));
      return static_cast<float>(s.X);
    }

  // Not linear: bisect inside the pair of neighbouring samples that brackets the target.
  for (size_t k = 0; k + 1 < samples.size(); ++k) {
    const TSample& lo = samples[k];
    const TSample& hi = samples[k + 1];
    if (!lo.Numeric || !hi.Numeric) continue;
    const double dlo = lo.Number - Target, dhi = hi.Number - Target;
    if (!Matches(lo, Target) && !Matches(hi, Target) && (dlo > 0) == (dhi > 0)) continue;
    const bool rising = hi.Number >= lo.Number;
    // Any point whose display matches.
    double x0 = lo.X, x1 = hi.X, hit = -1;
    if (Matches(lo, Target)) hit = lo.X;
    else if (Matches(hi, Target)) hit = hi.X;
    for (int i = 0; i < 60 && hit < 0; ++i) {
      const double mid = 0.5 * (x0 + x1);
      const TSample s = ReadSample(Plugin, Index, mid);
      if (Matches(s, Target)) hit = mid;
      else if (!s.Numeric || ((s.Number < Target) == rising)) x0 = mid;
      else x1 = mid;
    }
    if (hit < 0) continue;
    // The display rounds: take the middle of the stretch that shows the target, which is
    // nearest to the exact value. Its edges, by bisection on either side of the hit.
    auto edge = [&](double Inside, double Outside) {
      for (int i = 0; i < 40; ++i) {
        const double mid = 0.5 * (Inside + Outside);
        if (Matches(ReadSample(Plugin, Index, mid), Target)) Inside = mid;
        else Outside = mid;
      }
      return Inside;
    };
    const double left = edge(hit, k > 0 ? samples[k - 1].X : 0.0);
    const double right = edge(hit, k + 2 < samples.size() ? samples[k + 2].X : 1.0);
    const double x = 0.5 * (left + right);
    if (Matches(ReadSample(Plugin, Index, x), Target)) return static_cast<float>(x);
    Plugin.SetParameter(Index, static_cast<float>(hit));
    return static_cast<float>(hit);
  }
  throw EArgumentError("no host value of " + Name + " displays " + FormatNumber(Target) + ": " + range);
}

float TextHostValue(TVstHostPlugin& Plugin, int32_t Index, const std::string& Name, const std::string& Value) {
  constexpr int CSteps = 1024;
  const std::string wanted = Folded(Value);
  const std::string label = Folded(Plugin.ParameterLabel(Index));
  std::vector<std::string> distinct;
  int first = -1, last = -1;
  for (int k = 0; k <= CSteps; ++k) {
    Plugin.SetParameter(Index, static_cast<float>(static_cast<double>(k) / CSteps));
    const std::string text = Trim(Plugin.ParameterDisplay(Index));
    if (distinct.empty() || distinct.back() != text) distinct.push_back(text);
    const std::string folded = Folded(text);
    const bool match = !wanted.empty() && (folded == wanted || folded + label == wanted);
    // The first stretch of host values that shows the text.
    if (match && first < 0) first = last = k;
    else if (match && last == k - 1) last = k;
  }
  if (first >= 0) {
    const float x = static_cast<float>(0.5 * (first + last) / CSteps);
    Plugin.SetParameter(Index, x);
    return x;
  }
  // A parameter that shows numbers: say so rather than listing them.
  double low = INFINITY, high = -INFINITY;
  size_t numbers = 0;
  for (const std::string& text : distinct) {
    double n = 0;
    if (!ParseDisplayNumber(text, n)) continue;
    ++numbers;
    low = std::min(low, n);
    high = std::max(high, n);
  }
  if (numbers * 2 > distinct.size()) {
    const std::string unit = Trim(Plugin.ParameterLabel(Index));
    throw EArgumentError("'" + Value + "' is not a number; " + Name + " takes values from " + FormatNumber(low) +
                         " to " + FormatNumber(high) + (unit.empty() ? "" : " " + unit));
  }
  std::string list;
  for (size_t i = 0; i < distinct.size() && i < 12; ++i) list += (i ? ", " : "") + distinct[i];
  if (distinct.size() > 12) list += ", ...";
  throw EArgumentError("'" + Value + "' is not a value of " + Name + " (it shows " + list + ")");
}

}  // namespace

bool ParseDisplayNumber(const std::string& Text, double& Value, int* Decimals) {
  size_t i = 0;
  const size_t n = Text.size();
  while (i < n && std::isspace(static_cast<unsigned char>(Text[i]))) ++i;
  std::string number;
  if (i < n && (Text[i] == '-' || Text[i] == '+')) {
    if (Text[i] == '-') number += '-';
    ++i;
  }
  size_t digits = 0;
  while (i < n && std::isdigit(static_cast<unsigned char>(Text[i]))) number += Text[i++], ++digits;
  int decimals = 0;
  if (i + 1 < n && (Text[i] == '.' || Text[i] == ',') && std::isdigit(static_cast<unsigned char>(Text[i + 1]))) {
    number += '.';
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(Text[i]))) number += Text[i++], ++digits, ++decimals;
  }
  if (digits == 0) return false;
  // An exponent only when digits follow it ("1e-3", not "1 ea").
  if (i + 1 < n && (Text[i] == 'e' || Text[i] == 'E')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < n && (Text[j] == '-' || Text[j] == '+')) exponent += Text[j++];
    if (j < n && std::isdigit(static_cast<unsigned char>(Text[j]))) {
      while (j < n && std::isdigit(static_cast<unsigned char>(Text[j]))) exponent += Text[j++];
      number += exponent;
    }
  }
  double v = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
  if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(v)) return false;
  Value = v;
  if (Decimals) *Decimals = decimals;
  return true;
}

int32_t FindParameter(TVstHostPlugin& Plugin, const std::string& Name) {
  const std::string wanted = Folded(Name);
  if (wanted.empty()) return -1;
  for (int32_t i = 0; i < Plugin.NumParams(); ++i)
    if (Folded(Plugin.ParameterName(i)) == wanted) return i;
  return -1;
}

std::string ParameterList(TVstHostPlugin& Plugin) {
  std::string list;
  for (int32_t i = 0; i < Plugin.NumParams(); ++i) list += (i ? ", " : "") + Trim(Plugin.ParameterName(i));
  return list.empty() ? "none" : list;
}

namespace {
float FindHostValue(TVstHostPlugin& Plugin, int32_t Index, const std::string& Value);
}

float HostValueForDisplay(TVstHostPlugin& Plugin, int32_t Index, const std::string& Value) {
  // Probing moves the parameter; a value that cannot be set leaves it where it was.
  const float original = Plugin.Parameter(Index);
  try {
    return FindHostValue(Plugin, Index, Value);
  } catch (...) {
    Plugin.SetParameter(Index, original);
    throw;
  }
}

namespace {
float FindHostValue(TVstHostPlugin& Plugin, int32_t Index, const std::string& Value) {
  const std::string name = Trim(Plugin.ParameterName(Index));
  const std::string v = Trim(Value);
  if (v.empty()) throw EArgumentError("no value given for " + name);
  if (v[0] == '@') {
    double raw = 0;
    if (!ParseWholeNumber(v.substr(1), raw))
      throw EArgumentError("'" + v + "' is not a host value: write @ and a number from 0 to 1");
    if (raw < 0 || raw > 1) throw EArgumentError("host value " + v + " of " + name + " is outside 0..1");
    const float x = static_cast<float>(raw);
    Plugin.SetParameter(Index, x);
    return x;
  }
  // One number, optionally followed by the parameter's unit ("80", "80 %", "-3dB", "16x"); any
  // other text is taken as a display text ("On", "Clean").
  double target = 0;
  std::string rest;
  const TNumberSplit split = SplitLeadingNumber(v, target, rest);
  if (split == nsOverflow)
    throw EArgumentError("value " + v + " of " + name + " is out of range");
  if (split == nsNumber && UnitMatches(rest, Plugin.ParameterLabel(Index))) {
    bool found = false;
    const float x = NumericHostValue(Plugin, Index, name, target, found);
    if (found) return x;
    // The parameter shows no numbers: its texts may still read like one ("8x").
    return TextHostValue(Plugin, Index, name, v);
  }
  if (split == nsNumber) {
    // A number with something else behind it ("80abc", "80 90", "10-20", "80 dB" for a %
    // parameter) is no display text either: say what the value must look like.
    try {
      return TextHostValue(Plugin, Index, name, v);
    } catch (const EArgumentError&) {
      const std::string unit = ParameterUnit(Plugin.ParameterLabel(Index));
      throw EArgumentError("'" + v + "' is not a value of " + name + ": write one number" +
                           (unit.empty() ? "" : ", optionally followed by " + unit));
    }
  }
  try {
    return TextHostValue(Plugin, Index, name, v);
  } catch (const EArgumentError&) {
    // A switch that shows 0 and 1: "on" and "off" mean what they say.
    const std::string word = Folded(v);
    const bool on = word == "on" || word == "yes" || word == "true";
    const bool off = word == "off" || word == "no" || word == "false";
    if (!on && !off) throw;
    // Only for a parameter that shows 0 and 1 at its ends.
    double low = -1, high = -1;
    const bool ends = ParseDisplayNumber(ReadSample(Plugin, Index, 0).Text, low) &&
                      ParseDisplayNumber(ReadSample(Plugin, Index, 1).Text, high);
    if (!ends || std::min(low, high) != 0 || std::max(low, high) != 1) throw;
    bool found = false;
    float x = 0;
    try {
      x = NumericHostValue(Plugin, Index, name, on ? 1.0 : 0.0, found);
    } catch (const EArgumentError&) {
      found = false;
    }
    if (!found) throw;
    return x;
  }
}
}  // namespace

void ApplyParameterSettings(TVstHostPlugin& Plugin, const std::vector<std::string>& Settings) {
  for (const std::string& setting : Settings) {
    const size_t eq = setting.find('=');
    if (eq == std::string::npos || eq == 0)
      throw EArgumentError("--set takes NAME=VALUE, not '" + setting + "'");
    const std::string name = setting.substr(0, eq);
    const int32_t index = FindParameter(Plugin, name);
    if (index < 0)
      throw EArgumentError("unknown parameter '" + Trim(name) + "' (parameters: " + ParameterList(Plugin) + ")");
    HostValueForDisplay(Plugin, index, setting.substr(eq + 1));
  }
}

}  // namespace kvx
