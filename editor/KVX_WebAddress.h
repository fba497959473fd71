// The maker's web address: what the editor's website labels open in the user's browser, and the
// host name they show. One setting for the whole plug-in. It is a reserved example name until the
// maker has a home of its own; the host name must stay within 18 characters, so that the caption
// fits the website label (157 pixels of the editor's monospace face).
#pragma once

#include <string_view>

namespace kvx {

inline constexpr std::string_view CMakerWebAddress = "https://www.kvx.example/";

// The host name of an address: after the scheme, up to the first slash, colon, query or fragment.
constexpr std::string_view HostNameOf(std::string_view Address) {
  const size_t Scheme = Address.find("://");
  if (Scheme != std::string_view::npos) Address.remove_prefix(Scheme + 3);
  const size_t End = Address.find_first_of("/:?#");
  return End == std::string_view::npos ? Address : Address.substr(0, End);
}

inline constexpr std::string_view CMakerHostName = HostNameOf(CMakerWebAddress);
static_assert(!CMakerHostName.empty() && CMakerHostName.size() <= 18,
              "the website label shows at most 18 characters");

}  // namespace kvx
