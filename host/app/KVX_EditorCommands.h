// vsthost edit and vsthost screenshot: a plug-in's editor in a top-level window of ours.
#pragma once

#include <string>
#include <vector>

namespace kvx {

// Runs "edit" or "screenshot" with the arguments that follow the command; answers the exit
// status (2 for a usage mistake, reported on stderr like every vsthost usage error).
int RunEditorCommand(const std::string& Command, const std::vector<std::string>& Args);

// The lines vsthost --help shows for these commands.
extern const char* const CEditorCommandsUsage;

}  // namespace kvx
