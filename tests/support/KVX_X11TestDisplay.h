// An X server for the GUI suites: $DISPLAY when it answers, otherwise an Xvfb of the suite's own
// (on a free display number), stopped when the suite ends. A suite that needs a display and gets
// none fails.
#pragma once

namespace kvx::test {

// Answers true when a display is reachable (starting Xvfb if needed); prints why not otherwise.
bool RequireX11Display();

}  // namespace kvx::test
