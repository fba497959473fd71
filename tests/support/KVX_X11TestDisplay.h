// An X server for the GUI suites: an Xvfb of the suite's own, on a free display number,
// stopped when the suite ends. Its own, not $DISPLAY's: the suites move the one pointer of the
// server with XTest, and suites run side by side. A suite that needs a display and gets none
// fails.
#pragma once

namespace kvx::test {

// Starts the suite's server once and points $DISPLAY at it; answers false (after saying why)
// when it cannot.
bool RequireX11Display();

}  // namespace kvx::test
