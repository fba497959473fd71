#include "KVX_X11TestDisplay.h"

#include <cstdio>
#include <exception>

#include "host/lib/KVX_HostX11.h"

namespace kvx::test {

bool RequireX11Display() {
  static TXvfbServer Server;
  if (!Server.Running()) {
    try {
      Server.Start();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "no X display: %s\n", e.what());
      return false;
    }
  }
  return X11DisplayReachable();
}

}  // namespace kvx::test
