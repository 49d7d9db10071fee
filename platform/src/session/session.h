// What the window and event code share with the other processes of the handset. The state lies
// in "<device root>/.system": one file per top-level window ("windows/<handle>": owner process,
// class and title), one per named event ("events/<name>"). Each process that has windows listens
// on an abstract local socket named after the root and its process id, and heeds only what
// processes of the same user send it.
#pragma once

#include <windows.h>

#include <string>

namespace platform {
namespace session {

bool joined();
// "<device root>/.system/<part>", created on first use, both private to this user (mode 0700).
// "" (reported once on stderr) when either is a link, no folder, or another user's.
std::string directory(const std::string &part);

// A top-level window of this process appears, is renamed or goes away.
void publishWindow(HWND window, const std::u16string &className, const std::u16string &title);
void withdrawWindow(HWND window);
// A top-level window of another live process of this handset; null when none matches (a null
// class or title matches any).
HWND findForeignWindow(LPCWSTR className, LPCWSTR title);
// Asks the process owning `window` to bring it to the front; false when it is gone.
bool activateForeign(HWND window);
// This process's window came to the front: the others give up theirs.
void foregroundTaken();

}  // namespace session
}  // namespace platform
