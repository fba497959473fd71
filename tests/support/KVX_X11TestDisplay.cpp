#include "KVX_X11TestDisplay.h"

#include <cstdio>
#include <exception>

#include "host/lib/KVX_HostX11.h"

namespace kvx::test {

bool RequireX11Display() {
  static TXvfbServer Server;
  if (X11DisplayReachable()) return true;
  try {
    Server.Start();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "no X display and %s\n", e.what());
    return false;
  }
  return X11DisplayReachable();
}

}  // namespace kvx::test
