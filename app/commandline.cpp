// The command line, walked once from left to right; only the first character after each '-'
// counts.
#include "app/commandline.h"

namespace {

const WCHAR *SkipSpaces(const WCHAR *p) {
  while (*p == u' ') ++p;
  return p;
}

}  // namespace

CommandLine ParseCommandLine(const WCHAR *line) {
  CommandLine result{0, nullptr, 100};
  const WCHAR *p = line ? line : u"";
  WCHAR seen;
  do {
    while (*p && *p != u'-') ++p;
    if (*p) ++p;
    seen = *p;
    if (seen == u's') {
      result.screenCapture = 1;
    } else if (seen == u'r') {
      p = SkipSpaces(p + 1);
      if (*p) result.stillRow = uint32_t(int32_t(*p) - int32_t(u'0'));
    } else if (seen == u'f') {
      p = SkipSpaces(p + 1);
      // "-f" with nothing after it ends the walk: the interactive program starts.
      if (*p) result.captureFile = p;
      return result;
    }
  } while (seen != 0);
  return result;
}
