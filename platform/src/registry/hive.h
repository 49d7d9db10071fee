// The handset's registry in memory, and its .reg text form.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "device/regtext.h"

namespace registry {

using device::regtext::Value;

struct Key {
  std::string path;                     // full path as first created, e.g. "HKEY_LOCAL_MACHINE\Software"
  std::map<std::string, Value> values;  // by folded name
};

// Keys by folded full path. The four predefined roots always exist.
class Hive {
 public:
  Hive();
  Key *find(const std::string &path);
  // Finds or creates the key and every missing key above it; `created` tells which happened.
  Key &create(const std::string &path, bool &created);

  // The .reg text: the header, then each key in path order with its values.
  std::string format() const;

  struct Problem {
    int line;
    std::string message;
  };
  // Reads .reg text (UTF-8, or UTF-16LE with its byte-order mark). Lines that cannot be read are
  // listed in `problems` and skipped; everything else is kept.
  static Hive parse(const std::string &text, std::vector<Problem> &problems);

 private:
  std::map<std::string, Key> keys_;
};

}  // namespace registry
