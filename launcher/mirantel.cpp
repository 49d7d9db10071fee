// Mirantel, the screen recorder's own program: starts Pelkavo.exe from the folder it lies in
// with "-s" and ends. A Pelkavo that runs already is brought to the front by its own start.
#include <shellapi.h>
#include <windows.h>

#include <cstring>

namespace {

const WCHAR kProgram[] = TEXT("Pelkavo.exe");

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  WCHAR path[MAX_PATH];
  if (!GetModuleFileNameW(nullptr, path, MAX_PATH)) return 0;
  // Only the folder of the launcher counts; what it is called itself does not matter.
  WCHAR *slash = wcsrchr(path, TEXT('\\'));
  if (!slash || (slash + 1 - path) + wcslen(kProgram) >= MAX_PATH) return 0;
  wcscpy(slash + 1, kProgram);

  SHELLEXECUTEINFO info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.lpFile = path;
  info.lpParameters = TEXT("-s");
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteEx(&info);
  return 0;
}
