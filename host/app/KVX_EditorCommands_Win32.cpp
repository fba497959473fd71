// Windows: no window backend for editors yet, so vsthost.exe cannot host one.
#include "host/app/KVX_EditorCommands.h"

#include <cstdio>

namespace kvx {

const char* const CEditorCommandsUsage =
    "  edit, screenshot                   a plug-in's editor: not in the Windows build yet\n";

int RunEditorCommand(const std::string& Command, const std::vector<std::string>&) {
  std::fprintf(stderr, "vsthost: %s needs a window backend for editors, which the Windows build does not have yet\n",
               Command.c_str());
  return 1;
}

}  // namespace kvx
