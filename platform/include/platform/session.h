// The handset's processes share one system: the programs running on one device root find each
// other's windows (FindWindowW), bring them to the front (SetForegroundWindow), give up the
// foreground when another takes it, and share named events. Every handset program takes part
// from its process entry; a test process takes part once it calls joinSession(). Control API
// for the process entry, tests and tools; product code never includes it.
#pragma once

namespace platform {

// Takes this process into the system of the current device root (device::root()); windows and
// named events made afterwards are seen by the other processes.
void joinSession();
bool sessionJoined();

}  // namespace platform
