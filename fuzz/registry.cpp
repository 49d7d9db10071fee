// The registry's text: the whole .reg file as the store reads it (UTF-8 or UTF-16LE with its
// mark), and each line on its own as a value line. What is read must survive being written and
// read again unchanged: the store rewrites the file from what it read.
#include "registry/hive.h"
#include "support.h"

namespace rt = device::regtext;

namespace {

bool sameValue(const rt::Value &a, const rt::Value &b) {
  return a.name == b.name && a.type == b.type && a.data == b.data;
}

void valueLine(const std::string &line) {
  rt::Value value;
  if (!rt::parseValue(line, value).empty()) return;
  const std::string text = rt::formatValue(value);
  rt::Value again;
  const std::string problem = rt::parseValue(text, again);
  fuzz::check(problem.empty(), "a formatted value reads back", text + ": " + problem);
  fuzz::check(sameValue(value, again), "a formatted value reads back as itself", line + " -> " + text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  std::vector<registry::Hive::Problem> problems;
  registry::Hive hive = registry::Hive::parse(text, problems);
  const std::string formatted = hive.format();
  std::vector<registry::Hive::Problem> again;
  registry::Hive reread = registry::Hive::parse(formatted, again);
  fuzz::check(again.empty(), "a written hive reads back without problems",
              again.empty() ? "" : "line " + std::to_string(again[0].line) + ": " + again[0].message);
  fuzz::check(reread.format() == formatted, "a written hive reads back as itself", formatted);

  fuzz::Reader lines(data, size);
  while (lines.left()) valueLine(lines.line());
  return 0;
}
