// Child processes of the host, for CreateProcessW and for the shell's viewer.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace platform {

// Starts `file` (looked up in PATH when `searchPath`) with `arguments` after its name, in this
// program's environment; the child is reaped when it ends, whether or not anybody waits. With
// `info`, the handles of a process object (signalled at the end) and of its thread are added.
// Returns 0, or the errno of a start that failed.
int startChild(const std::string &file, std::vector<std::string> arguments, bool searchPath,
               LPPROCESS_INFORMATION info);

}  // namespace platform
