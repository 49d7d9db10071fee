// The AVI writer: a RIFF "AVI " file with one Motion-JPEG video stream and, when sound is
// recorded, one PCM stream. A 348-byte header of zeros is written at open; chunks are appended
// while recording with the index kept in memory; at close the "idx1" index follows the chunks
// and the real header is written over the zeros.
//
// The frame rate is constant: when frames arrive late, the previous picture is repeated in the
// index instead of being written again. Sound blocks are interleaved after the video entries,
// never more sound chunks than video slots.
//
// What is gathered reaches the file within about a second (kAviGatherMs), so a recording cut off
// by a crash or a kill holds its chunks up to then; avi_repair.h gives it its index and header.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <mutex>

#include "capture/sound.h"

constexpr uint32_t kAviHeaderBytes = 348;
constexpr uint32_t kAviMoviOffset = 344;  // index offsets count from the "movi" identifier
constexpr uint32_t kAviIndexEntryBytes = 16;
constexpr uint32_t kAviEntriesPerBlock = 1024;
constexpr uint32_t kAviFileLimit = 2000000000;  // no file grows past this
constexpr uint32_t kAviChunkOverhead = 24;      // 8-byte chunk header + 16-byte index entry
// Chunk headers, pad bytes and sound chunks are gathered in a buffer of this many bytes (for at
// most this many chunks); a picture goes to the file from the caller's buffer, never copied, in
// one gathered write together with what was gathered before it.
constexpr uint32_t kAviGatherBytes = 64 * 1024;
constexpr uint32_t kAviGatherChunks = 256;
// Chunks gathered are written once the oldest has waited this long (by the frame ticks), even
// when no picture comes to take them along (a screen that stands still).
constexpr uint32_t kAviGatherMs = 1000;

// avih flags.
constexpr uint32_t kAviHasIndex = 0x10;
constexpr uint32_t kAviMustUseIndex = 0x20;
constexpr uint32_t kAviWasCaptureFile = 0x10000;

// In-memory index: 1024 entries as they go to disk, then the link to the next block.
struct AviIndexBlock {
  uint8_t entries[kAviEntriesPerBlock * kAviIndexEntryBytes];
  AviIndexBlock *next;
};

struct AviSoundFormat {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSecond;
  uint32_t bitsPerSample;
};

// What a chunk changed in the writer: its state before the chunk was made, to go back to
// when the chunk does not reach the file.
struct AviChunkMark {
  uint32_t at;  // where the chunk (or its header) begins in the gathered bytes
  uint32_t filePos;
  AviIndexBlock *currentIndexBlock;
  uint32_t entriesInBlock;
  uint32_t indexBytes;
  uint32_t videoFrames;
  uint32_t soundBytes;
  uint32_t lastChunkPos;
  uint32_t lastChunkSize;
  uint8_t hasRepeats;
  uint32_t sizeSoFar;
  uint32_t soundChunks;
  uint32_t newFrames;
  uint32_t writtenChecksum;
};

// Chunks made but not yet in the file: their bytes, which belong at the file offset of the
// first chunk's mark, and each chunk's mark.
struct AviGathered {
  uint8_t bytes[kAviGatherBytes];
  uint32_t used;
  uint32_t chunks;
  AviChunkMark marks[kAviGatherChunks];
};

struct AviWriter {
  FILE *file;  // null when closed
  AviIndexBlock *firstIndexBlock;
  AviIndexBlock *currentIndexBlock;
  uint32_t entriesInBlock;
  uint32_t indexBytes;  // 16 × index entries
  uint32_t width;
  uint32_t height;
  uint32_t usPerFrame;
  char handler[4];      // "mjpg"
  uint32_t videoFrames;  // video index entries, new and repeated
  AviSoundFormat sound;  // 1, 1, 8000, 16 when sound is recorded, else zeros
  uint32_t soundBytes;
  uint32_t filePos;       // offset of the next byte to write
  uint32_t lastChunkPos;  // offset of the last "00dc" chunk, 0 before the first
  uint32_t lastChunkSize;
  uint8_t hasRepeats;
  uint32_t sizeSoFar;  // 348 + per chunk its data + 24, + 16 per repeat entry
  SoundBlock soundBlock;
  uint32_t clockBase;  // tick up to which frame slots have been filled
  uint32_t carry;      // ms left over after the last write step
  uint8_t slotHasPicture;
  uint32_t sizeLimit;    // sizeSoFar never passes this
  uint32_t slotsFilled;  // since the start or the last resume
  uint32_t soundChunks;
  uint32_t newFrames;    // "00dc" chunks written
  uint32_t slotCounter;  // slots filled since the file was opened
  uint8_t soundOn;
  uint32_t frameInterval;  // ms per frame
  // The frame checksum (screen capture) of the last picture written: a frame with the same
  // checksum is not new, see IsNewPicture.
  uint32_t writtenChecksum;
  AviGathered *pending;
  uint32_t gatherTick;  // frame tick at which nothing was gathered last
  uint8_t noted;        // OpenAvi noted the file as the recording under way (avi_repair.h)
  // Held by every step that touches the file or the sound queue: the frame thread writes while
  // the user-interface thread may close, resume or finish the same recording.
  std::mutex lock;
};

// Creates the writer with its first index block and its gathering buffer; null without memory.
AviWriter *CreateAviWriter();
// Frees the sound buffers, the gathering buffer, every index block and the writer (a recording
// still running is ended: its file closed as it stands, sound capture stopped).
void DestroyAviWriter(AviWriter *writer);

// Creates the file and starts the recording (and sound capture when soundOn; a microphone that
// cannot be opened leaves the video without sound). 0 when frameInterval is 0 or the file cannot
// be created.
int OpenAvi(AviWriter *writer, const WCHAR *path, uint32_t width, uint32_t height, int soundOn);
// OpenAvi on a file the caller opened for writing; the writer owns it from here on.
int OpenAviFile(AviWriter *writer, FILE *file, uint32_t width, uint32_t height, int soundOn);

// The frame step, called twice per recorded frame with the frame's arrival tick: first with
// prepare 1 and the previous picture (jpeg, jpegSize as last encoded), then, after encoding,
// with prepare 0 and the new picture. newFrame says whether the frame differs from the last
// picture written (IsNewPicture; always 1 outside screen capture) and checksum is its checksum.
// The picture buffer is only read, never beyond jpegSize, and is written before the call
// returns. 1 to go on, 0 when the recording must end: the size limit or the 2,000,000,000-byte
// guard was reached, or a write failed. A picture's write also holds the sound chunks gathered
// before it: when it fails, they and the picture are written again one by one, and the writer
// goes back to the state before the first that did not fit.
int WriteVideoSlot(AviWriter *writer, const uint8_t *jpeg, uint32_t jpegSize, uint32_t tick, int prepare,
                   int newFrame, uint32_t checksum);
// Writes the sound blocks that are due (at most three, never more sound chunks than slots).
// 1 to go on, 0 when a write failed or the guard was reached.
int WriteSoundChunks(AviWriter *writer);
// Sound while the recording is paused: the blocks still due are written, then the rest are
// dropped, so the sound stays in step with the picture. 1 to go on, 0 when a write failed.
int WritePausedSound(AviWriter *writer);
// At the end of a recording: the sound of every slot written goes into the file. The block the
// microphone is still filling is waited for (about two frame intervals at most), then capture
// stops and what it holds so far is written. 1 to go on, 0 when a write failed.
int WriteLastSound(AviWriter *writer);
// Takes and drops every filled sound block.
void DrainSound(AviWriter *writer);
// The next frame step starts a new stretch of slots (after a pause).
void ResumeAvi(AviWriter *writer);
// Writes the chunks still gathered, the index and the header: 0 on success, -1 when any of them
// failed. The caller closes the file (CloseAviFile).
int CloseAvi(AviWriter *writer);
// Closes the file with every chunk made (a recording CloseAvi did not end stays without its
// index and header); sound is off from here on.
void CloseAviFile(AviWriter *writer);

// An index entry of a recording rebuilt from its chunks (avi_repair.h): a chunk, or (with the
// offset of a picture before) a repeat of that picture.
struct AviIndexItem {
  uint32_t offset;  // of the chunk header
  uint32_t size;    // of its data
  uint8_t sound;    // "01wb", else "00dc"
};

// Finishes a recording that was cut off before CloseAvi, as CloseAvi would have: the writer takes
// `file` (open for update) whose whole chunks end at `end`, makes the index of `items` and writes
// it at `end`, wipes with zeros what lies beyond it up to `fileSize` (a chunk cut in two,
// garbage), then writes the header. The writer must be closed; 0 on success, -1 when a write
// failed. The caller closes the file (CloseAviFile).
int RebuildAvi(AviWriter *writer, FILE *file, uint32_t width, uint32_t height, uint32_t frameInterval, uint32_t end,
               uint64_t fileSize, const AviIndexItem *items, uint32_t count);

// Whether a frame with this checksum must be encoded and written as a new picture: it differs
// from the last picture written, or this file holds no picture yet.
inline int IsNewPicture(const AviWriter *writer, uint32_t checksum) {
  return writer->lastChunkPos == 0 || checksum != writer->writtenChecksum;
}
