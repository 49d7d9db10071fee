// The registry of the current device root, kept in <root>/registry.reg.
//
// Every call first makes the hive match the file: a different device root or a file that changed
// on disk (another process wrote it) is read again; a root without the file gets the profile's
// registry defaults. Changes are written through at once, atomically, under a lock on the device
// root that other processes of the same handset honour too.
#pragma once

#include <functional>

#include <windef.h>

#include "registry/hive.h"

namespace registry {

// Runs `look` on the current hive; returns its result.
LONG read(const std::function<LONG(Hive &)> &look);
// Runs `edit` on a copy of the current hive. When it returns ERROR_SUCCESS and set `changed`,
// the copy is written to the file and becomes the hive; a failed write keeps file and hive as
// they were and gives the write's error.
LONG change(const std::function<LONG(Hive &, bool &changed)> &edit);

}  // namespace registry
