// Setting a plug-in's parameters from the command line in the units the plug-in displays.
#pragma once

#include <string>
#include <vector>

#include "host/lib/KVX_HostPlugin.h"

namespace kvx {

// The leading number of a display text ("80.0", "-6,02 dB", "16x"), with either decimal
// separator. Decimals receives the number of digits after the separator. Answers false when the
// text does not start with a finite number.
bool ParseDisplayNumber(const std::string& Text, double& Value, int* Decimals = nullptr);

// The index of the parameter whose name equals Name, ignoring case and surrounding blanks; -1 when
// there is none.
int32_t FindParameter(TVstHostPlugin& Plugin, const std::string& Name);

// The host value 0..1 that makes the plug-in display Value for parameter Index. A numeric Value
// is mapped through the displayed range: the display is read at both ends, the value
// interpolated linearly and confirmed by reading the display back; where the mapping is not
// linear the displayed number is refined by bisection. A text Value ("On", "8x") is matched
// against the display texts. "@0.8" is the raw host value. Raises EArgumentError with a one-line
// message when the value is not one the parameter can display. Leaves the parameter at the
// answer.
float HostValueForDisplay(TVstHostPlugin& Plugin, int32_t Index, const std::string& Value);

// Applies NAME=VALUE settings in order. Raises EArgumentError for a malformed setting, an unknown
// name (listing the parameters) or an unusable value.
void ApplyParameterSettings(TVstHostPlugin& Plugin, const std::vector<std::string>& Settings);

// "Drive, Tone, Level, ..."
std::string ParameterList(TVstHostPlugin& Plugin);

}  // namespace kvx
