// The emulator's own files in the device root: the registry with its temporary and damaged
// copies, the shell's log and the folder of what the running programs share. They lie outside
// the handset's file system: no handset path reaches them and the memory volume does not count
// them. They are made so that a link planted in their place is never followed.
#pragma once

#include <string>
#include <string_view>

namespace platform {

inline constexpr char kRegistryFile[] = "registry.reg";
inline constexpr char kShellLog[] = "shell.log";
inline constexpr char kSessionFolder[] = ".system";
// The copy of a damaged registry kept beside it: "registry.reg.damaged", "registry.reg.damaged-2".
inline constexpr char kDamagedSuffix[] = ".damaged";
// What createTemporary adds to the name of the file it stands in for.
inline constexpr char kTemporarySuffix[] = ".tmp-";

// Whether an entry of the device root, named as a handset path names it (any case), is one of
// the emulator's own.
bool emulatorFile(std::u16string_view rootEntry);

// Creates "<file>.tmp-<process>-<n>" for writing, exclusively and without following a link, so
// that nothing planted under the name is written through; the name goes to `temporary`. The
// descriptor, or -1 with errno set. Renaming it over `file` then replaces whatever is there, a
// link included, without following it.
int createTemporary(const std::string &file, std::string &temporary);

// Writes all of `text` at the descriptor's offset; false with errno set when a write fails.
bool writeWhole(int fd, std::string_view text);

// Makes `folder` a private folder of this user (mode 0700), creating it when missing. A folder
// that is a link, no folder, or another user's is refused: false with errno set (ELOOP,
// ENOTDIR, EPERM).
bool makePrivateFolder(const std::string &folder);

}  // namespace platform
