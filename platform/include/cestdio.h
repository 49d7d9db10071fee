// A gathered write on a C-runtime stream: pieces of memory that follow one another in the file
// go to it in one write, without being copied together first.
#pragma once

#include <cstddef>
#include <cstdio>

struct FWRITEPIECE {
  const void *data;
  size_t size;
};

// Writes the pieces in order at the stream's position, as one fwrite of their bytes laid end to
// end would, and returns the number of bytes written. A short count means the write failed
// (GetLastError says why: on a full volume ERROR_DISK_FULL, after what fits was written). The
// stream should be unbuffered; a buffered one is flushed first.
size_t _fwritegather(FILE *stream, const FWRITEPIECE *pieces, size_t count);
