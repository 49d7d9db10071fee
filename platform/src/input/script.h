// The runner of HANDSET_INPUT scripts, started by GXOpenInput.
#pragma once

namespace platform {

// Starts the script HANDSET_INPUT names (once per process) against the calling thread's
// message queue, whose idle moments pace it. A script that cannot be read or parsed ends the
// process with the error on stderr (exit code 2), as a faulty profile does.
void startInputScript();
// The program closed its input: the script stops before its next step.
void stopInputScript();

}  // namespace platform
