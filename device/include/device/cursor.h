// The pointer over the handset's screen: whether the system's busy (wait) cursor is up. The
// platform's SetCursor reports it here; the display's front end shows it, and every change is
// kept for tests. Product code never includes it.
#pragma once

#include <vector>

namespace device {

// The wait cursor came up (true) or went (false).
void setWaitCursor(bool shown);
bool waitCursorShown();
// Every change since the last clear, oldest first.
std::vector<bool> waitCursorChanges();
void clearWaitCursorChanges();

}  // namespace device
