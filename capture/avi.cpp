#include "capture/avi.h"

#include <cestdio.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "capture/avi_repair.h"

namespace {

constexpr uint32_t kMaxBytesPerSecond = 10000000;
constexpr uint32_t kVideoListBytes = 116;  // "strl" list of the video stream
constexpr uint32_t kSoundListBytes = 92;   // "strl" list of the sound stream
constexpr uint32_t kMoviListOffset = 336;
constexpr uint32_t kFlagKeyFrame = 0x10;
// How long past two frame intervals the end of a recording waits for its last sound block, and
// how often it looks.
constexpr DWORD kLastSoundGraceMs = 100;
constexpr DWORD kLastSoundPollMs = 5;

// Little-endian fields of fixed layouts, written into a byte buffer.
struct ByteWriter {
  uint8_t *at;
  void tag(const char *fourcc) {
    std::memcpy(at, fourcc, 4);
    at += 4;
  }
  void u16(uint16_t v) {
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
    at += 2;
  }
  void u32(uint32_t v) {
    u16(uint16_t(v));
    u16(uint16_t(v >> 16));
  }
  void zeros(size_t n) {
    std::memset(at, 0, n);
    at += n;
  }
  // A chunk or list header: tag and size.
  void chunk(const char *fourcc, uint32_t size) {
    tag(fourcc);
    u32(size);
  }
};

uint32_t Even(uint32_t size) { return size + (size & 1); }

// The C library may report a write as complete when part of it failed; its error flag tells.
bool WriteBytes(FILE *file, const void *data, size_t size) {
  return size == 0 || (std::fwrite(data, 1, size, file) == size && !std::ferror(file));
}

// Moves the file back to the last good offset after a failed write of `attempted` bytes there.
// What the write did leave (on a full disk: a chunk header and part of its data) is wiped with
// zeros as far as the disk allows, so a reader that walks past the end of "movi" finds nothing
// that looks like a chunk; the next write goes over it.
void Rewind(AviWriter *w, uint64_t attempted) {
  static const uint8_t zeros[4096] = {};
  std::clearerr(w->file);
  std::fseek(w->file, long(w->filePos), SEEK_SET);
  while (attempted > 0) {
    size_t n = size_t(std::min<uint64_t>(attempted, sizeof zeros));
    if (!WriteBytes(w->file, zeros, n)) break;
    attempted -= n;
  }
  std::clearerr(w->file);
  std::fseek(w->file, long(w->filePos), SEEK_SET);
}

// Whether `bytes` more (plus their index entry and the index chunk header) keep the file
// under the 2,000,000,000-byte guard.
bool WithinFileLimit(const AviWriter *w, uint32_t bytes) {
  return uint64_t(w->filePos) + w->indexBytes + bytes + 32 <= kAviFileLimit;
}

// The writer's state before the next chunk.
AviChunkMark Mark(const AviWriter *w, uint32_t at) {
  return AviChunkMark{at,          w->filePos,      w->currentIndexBlock, w->entriesInBlock, w->indexBytes,
                      w->videoFrames, w->soundBytes, w->lastChunkPos,     w->lastChunkSize,  w->hasRepeats,
                      w->sizeSoFar,   w->soundChunks, w->newFrames,       w->writtenChecksum};
}

void Restore(AviWriter *w, const AviChunkMark &m) {
  w->filePos = m.filePos;
  w->currentIndexBlock = m.currentIndexBlock;
  w->entriesInBlock = m.entriesInBlock;
  w->indexBytes = m.indexBytes;
  w->videoFrames = m.videoFrames;
  w->soundBytes = m.soundBytes;
  w->lastChunkPos = m.lastChunkPos;
  w->lastChunkSize = m.lastChunkSize;
  w->hasRepeats = m.hasRepeats;
  w->sizeSoFar = m.sizeSoFar;
  w->soundChunks = m.soundChunks;
  w->newFrames = m.newFrames;
  w->writtenChecksum = m.writtenChecksum;
}

// One gathered write: `size` bytes of gathered chunks, then `extra` (a picture, never copied)
// with its pad byte.
bool WriteGathered(FILE *file, const uint8_t *bytes, uint32_t size, const uint8_t *extra, uint32_t extraSize) {
  static const uint8_t pad = 0;
  const FWRITEPIECE pieces[] = {{bytes, size}, {extra, extraSize}, {&pad, extraSize & 1}};
  return _fwritegather(file, pieces, 3) == uint64_t(size) + Even(extraSize);
}

// Writes the gathered chunks, the last of which may have its data in `extra`, in one write. When
// it fails, they are written again one by one from where they begin, so that every chunk that
// fits is kept; the first that fails is wiped and the writer goes back to the state before it.
// False when a write failed: the recording must end.
bool Flush(AviWriter *w, const uint8_t *extra = nullptr, uint32_t extraSize = 0) {
  AviGathered *p = w->pending;
  uint32_t chunks = p->chunks, used = p->used;
  p->chunks = p->used = 0;
  if (chunks == 0 || WriteGathered(w->file, p->bytes, used, extra, extraSize)) return true;
  uint32_t start = p->marks[0].filePos, end = start + used + Even(extraSize);
  std::clearerr(w->file);
  std::fseek(w->file, long(start), SEEK_SET);
  for (uint32_t i = 0; i < chunks; ++i) {
    bool last = i + 1 == chunks;
    uint32_t at = p->marks[i].at, stop = last ? used : p->marks[i + 1].at;
    if (!WriteGathered(w->file, p->bytes + at, stop - at, last ? extra : nullptr, last ? extraSize : 0)) {
      Restore(w, p->marks[i]);
      Rewind(w, end - w->filePos);
      break;
    }
  }
  return false;
}

// Writes the gathered chunks once the oldest has waited kAviGatherMs: `tick` is the frame's, and
// gatherTick the last one at which nothing was gathered. False when the write failed.
bool FlushOld(AviWriter *w, uint32_t tick) {
  if (w->pending->chunks != 0 && tick - w->gatherTick < kAviGatherMs) return true;
  w->gatherTick = tick;
  return Flush(w);
}

// Makes room for one more index entry (a new block after every 1024 entries; blocks are kept
// for the next recording). False without memory.
bool ReserveIndexEntry(AviWriter *w) {
  if (w->entriesInBlock < kAviEntriesPerBlock) return true;
  if (!w->currentIndexBlock->next) {
    w->currentIndexBlock->next = new (std::nothrow) AviIndexBlock;
    if (!w->currentIndexBlock->next) return false;
    w->currentIndexBlock->next->next = nullptr;
  }
  w->currentIndexBlock = w->currentIndexBlock->next;
  w->entriesInBlock = 0;
  return true;
}

// Adds an entry in the room ReserveIndexEntry made.
void AddIndexEntry(AviWriter *w, const char *fourcc, uint32_t flags, uint32_t chunkPos, uint32_t size) {
  ByteWriter out{w->currentIndexBlock->entries + w->entriesInBlock * kAviIndexEntryBytes};
  out.tag(fourcc);
  out.u32(flags);
  out.u32(chunkPos - kAviMoviOffset);
  out.u32(Even(size));
  ++w->entriesInBlock;
  w->indexBytes += kAviIndexEntryBytes;
}

// An index entry that shows the last picture again. False without memory for the index.
bool AddRepeat(AviWriter *w) {
  if (w->lastChunkPos == 0) return true;
  if (!ReserveIndexEntry(w)) return false;
  AddIndexEntry(w, "00dc", kFlagKeyFrame, w->lastChunkPos, w->lastChunkSize);
  w->hasRepeats = 1;
  w->sizeSoFar += kAviIndexEntryBytes;
  ++w->videoFrames;
  return true;
}

// Starts a chunk at filePos: its mark (the state to go back to when it does not reach the
// file), its header among the gathered bytes and its index entry; the caller adds what else
// the chunk changes before EndChunk. *gather says whether the data is to be gathered too; it
// is cleared when the data does not fit. False when the chunks gathered before could not be
// written or there is no memory for the index.
bool BeginChunk(AviWriter *w, const char *fourcc, uint32_t flags, uint32_t size, bool *gather) {
  AviGathered *p = w->pending;
  uint32_t total = 8 + Even(size);
  *gather = *gather && total <= sizeof p->bytes;
  if ((p->used + (*gather ? total : 8) > sizeof p->bytes || p->chunks == kAviGatherChunks) && !Flush(w))
    return false;
  if (!ReserveIndexEntry(w)) return false;
  p->marks[p->chunks++] = Mark(w, p->used);
  ByteWriter{p->bytes + p->used}.chunk(fourcc, size);
  p->used += 8;
  AddIndexEntry(w, fourcc, flags, w->filePos, size);
  w->sizeSoFar += size + kAviChunkOverhead;
  w->filePos += total;
  return true;
}

// Ends the chunk BeginChunk started with its data and, for an odd size, a zero pad byte (the
// caller's buffer is never read beyond its size): gathered, or written at once from the
// caller's buffer together with the chunks gathered before it. False when a write failed; the
// writer is then back at the last chunk that reached the file.
bool EndChunk(AviWriter *w, const uint8_t *data, uint32_t size, bool gather) {
  if (!gather) return Flush(w, data, size);
  AviGathered *p = w->pending;
  std::memcpy(p->bytes + p->used, data, size);
  if (size & 1) p->bytes[p->used + size] = 0;
  p->used += Even(size);
  return true;
}

int SoundChunks(AviWriter *w, uint32_t most = 3) {
  if (!w->soundOn) return 1;
  for (uint32_t i = 0; i < most && w->soundChunks < w->slotsFilled; ++i) {
    const uint8_t *data = TakeSoundBlock(&w->soundBlock);
    if (!data) return 1;
    uint32_t size = w->soundBlock.stagingBytes;
    bool gather = true;
    if (!WithinFileLimit(w, size) || !BeginChunk(w, "01wb", 0, size, &gather)) return 0;
    w->soundBytes += size;
    ++w->soundChunks;
    if (!EndChunk(w, data, size, gather)) return 0;
  }
  return 1;
}

void Drain(AviWriter *w) {
  while (TakeSoundBlock(&w->soundBlock)) {
  }
}

// "idx1" and every entry: the full blocks, then the used part of the current one.
bool WriteIndex(AviWriter *w) {
  uint8_t header[8];
  ByteWriter{header}.chunk("idx1", w->indexBytes);
  bool ok = WriteBytes(w->file, header, sizeof header);
  for (AviIndexBlock *b = w->firstIndexBlock; ok; b = b->next) {
    bool last = b == w->currentIndexBlock;
    ok = WriteBytes(w->file, b->entries, (last ? w->entriesInBlock : kAviEntriesPerBlock) * kAviIndexEntryBytes);
    if (last) break;
  }
  if (!ok) {
    Rewind(w, 8 + w->indexBytes);
    return false;
  }
  w->filePos += 8 + w->indexBytes;
  return true;
}

// The writer's state for a new file whose 348 zeros are written: no chunks, no index entries.
void Begin(AviWriter *w, FILE *file, uint32_t width, uint32_t height) {
  w->file = file;
  w->width = width;
  w->height = height;
  w->videoFrames = 0;
  w->sound = AviSoundFormat{};
  w->soundBytes = 0;
  w->lastChunkPos = 0;
  w->lastChunkSize = 0;
  w->hasRepeats = 0;
  w->filePos = w->sizeSoFar = kAviHeaderBytes;
  w->currentIndexBlock = w->firstIndexBlock;
  w->entriesInBlock = w->indexBytes = 0;
  w->usPerFrame = w->frameInterval * 1000;
  std::memcpy(w->handler, "mjpg", 4);
  w->slotCounter = w->slotsFilled = 0;
  w->soundChunks = w->newFrames = 0;
  w->noted = 0;
}

void BuildHeader(const AviWriter *w, uint32_t moviSize, bool indexOk, uint8_t *header) {
  bool withSound = w->soundBytes > 0 && w->sound.channels != 0;
  uint16_t blockAlign = uint16_t((w->sound.bitsPerSample + 7) / 8 * w->sound.channels);
  if (blockAlign == 0) blockAlign = 1;
  uint32_t flags = !indexOk ? kAviWasCaptureFile
                            : kAviWasCaptureFile | kAviHasIndex | (w->hasRepeats ? kAviMustUseIndex : 0);
  uint32_t hdrlBytes = 4 + (8 + 56) + (8 + kVideoListBytes) + (withSound ? 8 + kSoundListBytes : 0);

  ByteWriter out{header};
  out.chunk("RIFF", w->filePos - 8);
  out.tag("AVI ");
  out.chunk("LIST", hdrlBytes);
  out.tag("hdrl");

  out.chunk("avih", 56);
  out.u32(w->usPerFrame);
  out.u32(kMaxBytesPerSecond);
  out.u32(0);  // padding granularity
  out.u32(flags);
  out.u32(w->videoFrames);
  out.u32(0);  // initial frames
  out.u32(withSound ? 2 : 1);
  out.u32(0);  // suggested buffer size
  out.u32(w->width);
  out.u32(w->height);
  out.zeros(16);

  out.chunk("LIST", kVideoListBytes);
  out.tag("strl");
  out.chunk("strh", 56);
  out.tag("vids");
  out.tag(w->handler);
  out.u32(0);  // flags
  out.u32(0);  // priority and language
  out.u32(0);  // initial frames
  out.u32(w->usPerFrame);  // scale
  out.u32(1000000);        // rate
  out.u32(0);              // start
  out.u32(w->videoFrames);
  out.u32(0);  // suggested buffer size
  out.u32(0xFFFFFFFF);  // quality
  out.u32(0);           // sample size
  out.zeros(8);         // frame rectangle
  out.chunk("strf", 40);
  out.u32(40);
  out.u32(w->width);
  out.u32(w->height);
  out.u16(1);   // planes
  out.u16(24);  // bit count
  out.tag("MJPG");
  out.u32(w->width * w->height);
  out.zeros(16);

  if (withSound) {
    uint32_t bytesPerSecond = w->sound.samplesPerSecond * blockAlign;
    out.chunk("LIST", kSoundListBytes);
    out.tag("strl");
    out.chunk("strh", 56);
    out.tag("auds");
    out.u32(0);  // handler
    out.u32(0);  // flags
    out.u32(0);  // priority and language
    out.u32(0);  // initial frames
    out.u32(blockAlign);  // scale
    out.u32(bytesPerSecond);
    out.u32(0);  // start
    out.u32(uint32_t(int32_t(w->soundBytes) / int32_t(blockAlign)));
    out.u32(0);  // suggested buffer size
    out.u32(0xFFFFFFFF);
    out.u32(blockAlign);  // sample size
    out.zeros(8);
    out.chunk("strf", 16);
    out.u16(w->sound.formatTag);
    out.u16(w->sound.channels);
    out.u32(w->sound.samplesPerSecond);
    out.u32(bytesPerSecond);
    out.u16(blockAlign);
    out.u16(uint16_t(w->sound.bitsPerSample));
  }

  uint32_t junk = kMoviListOffset - uint32_t(out.at - header) - 8;
  out.chunk("JUNK", junk);
  out.zeros(junk);
  out.chunk("LIST", moviSize);
  out.tag("movi");
}

// The end of a file: the chunks still gathered, the index, zeros over what lies beyond the index
// up to `wipeTo`, and last the header over the zeros. 0 on success, -1 when a write failed.
int Finish(AviWriter *w, uint64_t wipeTo) {
  bool chunksOk = Flush(w);
  uint32_t moviSize = w->filePos - kAviMoviOffset;
  bool indexOk = WriteIndex(w);
  if (wipeTo > w->filePos) Rewind(w, wipeTo - w->filePos);
  uint8_t header[kAviHeaderBytes];
  BuildHeader(w, moviSize, indexOk, header);
  if (std::fseek(w->file, 0, SEEK_SET) != 0 || !WriteBytes(w->file, header, sizeof header)) return -1;
  return chunksOk && indexOk ? 0 : -1;
}

}  // namespace

AviWriter *CreateAviWriter() {
  auto *w = new (std::nothrow) AviWriter();
  if (!w) return nullptr;
  w->firstIndexBlock = w->currentIndexBlock = new (std::nothrow) AviIndexBlock;
  w->pending = new (std::nothrow) AviGathered;
  if (!w->firstIndexBlock || !w->pending) {
    delete w->firstIndexBlock;
    delete w->pending;
    delete w;
    return nullptr;
  }
  w->firstIndexBlock->next = nullptr;
  w->pending->used = w->pending->chunks = 0;
  return w;
}

void DestroyAviWriter(AviWriter *w) {
  // A recording still running ends here: the driver must give the buffers back before they go.
  CloseAviFile(w);
  StopSound(&w->soundBlock, 1);
  CloseSound(&w->soundBlock);
  FreeSoundBuffers(&w->soundBlock);
  for (AviIndexBlock *b = w->firstIndexBlock; b;) {
    AviIndexBlock *next = b->next;
    delete b;
    b = next;
  }
  delete w->pending;
  delete w;
}

int OpenAvi(AviWriter *w, const WCHAR *path, uint32_t width, uint32_t height, int soundOn) {
  if (w->frameInterval == 0) {
    w->soundOn = 0;
    return 0;
  }
  // Noted before the file exists: a recording cut off at any moment from here on is found again.
  const bool noted = NoteRecording(path);
  FILE *file = _wfopen(path, TEXT("wb"));
  if (file && OpenAviFile(w, file, width, height, soundOn)) {
    w->noted = noted;
    return 1;
  }
  if (noted) ForgetRecording();
  return 0;
}

int OpenAviFile(AviWriter *w, FILE *file, uint32_t width, uint32_t height, int soundOn) {
  std::lock_guard<std::mutex> held(w->lock);
  if (w->frameInterval == 0) {
    w->soundOn = 0;
    std::fclose(file);
    return 0;
  }
  // Unbuffered: the writer gathers chunks itself, and each of its writes reaches the file at
  // once, so a failing write (a full disk) is seen with the chunks it holds, and everything
  // before it is complete.
  std::setvbuf(file, nullptr, _IONBF, 0);
  static const uint8_t zeros[kAviHeaderBytes] = {};
  if (!WriteBytes(file, zeros, sizeof zeros)) {
    std::fclose(file);
    return 0;
  }
  Begin(w, file, width, height);
  w->soundOn = soundOn && OpenSound(&w->soundBlock);
  if (w->soundOn) w->sound = AviSoundFormat{1, 1, 8000, 16};
  return 1;
}

int WriteVideoSlot(AviWriter *w, const uint8_t *jpeg, uint32_t size, uint32_t tick, int prepare, int newFrame,
                   uint32_t checksum) {
  std::lock_guard<std::mutex> held(w->lock);
  if (!w->file) return 0;
  if (w->slotsFilled == 0 && prepare) {
    w->slotHasPicture = 0;
    w->soundChunks = 0;
    w->newFrames = 0;
    w->clockBase = tick;
    return 1;
  }
  uint32_t elapsed = tick - w->clockBase;
  uint32_t due = (prepare ? (3 * w->carry + elapsed) >> 2 : elapsed) / w->frameInterval;
  uint32_t slots = due == 0 && w->slotsFilled == 0 ? 1 : due;
  for (uint32_t i = 0; i < slots; ++i) {
    if (w->slotHasPicture) {
      if (!AddRepeat(w)) return 0;
    } else if (newFrame || w->lastChunkPos == 0) {
      // A new picture; also the first of a file, whatever the checksum says.
      if (uint64_t(w->sizeSoFar) + size > w->sizeLimit) return 0;
      if (!WithinFileLimit(w, size)) return 0;
      uint32_t chunkPos = w->filePos;
      bool gather = false;
      if (!BeginChunk(w, "00dc", kFlagKeyFrame, size, &gather)) return 0;
      w->lastChunkPos = chunkPos;
      w->lastChunkSize = size;
      w->slotHasPicture = 1;
      ++w->videoFrames;
      ++w->newFrames;
      w->writtenChecksum = checksum;
      if (!EndChunk(w, jpeg, size, gather)) return 0;
    } else {
      if (!AddRepeat(w)) return 0;
      w->slotHasPicture = 1;
    }
    ++w->slotsFilled;
    ++w->slotCounter;
    if (!SoundChunks(w)) return 0;
  }
  w->clockBase += w->frameInterval * due;
  if (prepare)
    w->slotHasPicture = 0;
  else
    w->carry = elapsed - w->frameInterval * due;
  return FlushOld(w, tick) ? 1 : 0;
}

int WriteSoundChunks(AviWriter *w) {
  std::lock_guard<std::mutex> held(w->lock);
  return SoundChunks(w);
}

int WritePausedSound(AviWriter *w) {
  std::lock_guard<std::mutex> held(w->lock);
  if (!SoundChunks(w)) return 0;
  // Every block due is made: nothing more is gathered before the recording goes on, and what
  // was gathered goes to the file now.
  if (w->soundOn && w->soundChunks >= w->slotsFilled) {
    Drain(w);
    if (!Flush(w)) return 0;
  }
  return 1;
}

int WriteLastSound(AviWriter *w) {
  const DWORD since = GetTickCount();
  for (;;) {
    {
      std::lock_guard<std::mutex> held(w->lock);
      if (!w->file || !w->soundOn) return 1;
      if (!SoundChunks(w, UINT32_MAX)) return 0;
      if (w->soundChunks >= w->slotsFilled) return 1;
      if (GetTickCount() - since > 2 * w->frameInterval + kLastSoundGraceMs) {
        // The driver hands back the block it was filling with what it has captured.
        waveInStop(w->soundBlock.device);
        return SoundChunks(w, UINT32_MAX);
      }
    }
    Sleep(kLastSoundPollMs);
  }
}

void DrainSound(AviWriter *w) {
  std::lock_guard<std::mutex> held(w->lock);
  Drain(w);
}

void ResumeAvi(AviWriter *w) {
  std::lock_guard<std::mutex> held(w->lock);
  w->slotsFilled = 0;
}

int CloseAvi(AviWriter *w) {
  std::lock_guard<std::mutex> held(w->lock);
  if (!w->file) return -1;
  int result = Finish(w, 0);
  // The recording has ended here, well or not: nothing is left for a repair at the next start.
  if (w->noted) ForgetRecording();
  w->noted = 0;
  return result;
}

int RebuildAvi(AviWriter *w, FILE *file, uint32_t width, uint32_t height, uint32_t frameInterval, uint32_t end,
               uint64_t fileSize, const AviIndexItem *items, uint32_t count) {
  std::lock_guard<std::mutex> held(w->lock);
  if (w->file) return -1;
  std::setvbuf(file, nullptr, _IONBF, 0);
  w->frameInterval = frameInterval;
  Begin(w, file, width, height);
  for (uint32_t i = 0; i < count; ++i) {
    const AviIndexItem &item = items[i];
    if (!ReserveIndexEntry(w)) return -1;
    AddIndexEntry(w, item.sound ? "01wb" : "00dc", item.sound ? 0 : kFlagKeyFrame, item.offset, item.size);
    if (item.sound) {
      w->sound = AviSoundFormat{1, 1, 8000, 16};
      w->soundBytes += item.size;
      ++w->soundChunks;
    } else if (item.offset <= w->lastChunkPos) {
      w->hasRepeats = 1;
      ++w->videoFrames;
    } else {
      w->lastChunkPos = item.offset;
      w->lastChunkSize = item.size;
      ++w->videoFrames;
      ++w->newFrames;
    }
  }
  w->filePos = end;
  if (std::fseek(file, long(end), SEEK_SET) != 0) return -1;
  return Finish(w, fileSize);
}

void CloseAviFile(AviWriter *w) {
  std::lock_guard<std::mutex> held(w->lock);
  if (w->file) {
    Flush(w);
    std::fclose(w->file);
  }
  w->file = nullptr;
  w->soundOn = 0;
}
