// A RIFF reader for the tests: parses a file back into its chunk tree, so a test checks the
// structure that was written rather than a checksum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RiffChunk {
  std::string id;
  std::string type;  // the list type of "RIFF" and "LIST", else empty
  uint32_t size = 0;  // the size field
  uint64_t offset = 0;  // of the chunk header
  std::vector<RiffChunk> children;

  // The n-th child with this id (and list type, when given), or null.
  const RiffChunk *child(const std::string &childId, const std::string &listType = "", int n = 0) const;
};

struct AviIndexEntry {
  std::string id;
  uint32_t flags;
  uint32_t offset;  // from the "movi" identifier
  uint32_t size;
};

class RiffFile {
 public:
  explicit RiffFile(const std::string &path);

  const std::vector<uint8_t> &bytes() const { return bytes_; }
  const RiffChunk &root() const { return root_; }
  // What did not parse (a chunk running past its parent, a file too short); empty when sound.
  const std::vector<std::string> &problems() const { return problems_; }

  uint32_t u32(uint64_t at) const;
  uint16_t u16(uint64_t at) const;
  std::string tag(uint64_t at) const;

  // The "movi" list and the entries of "idx1" (empty when there is none).
  const RiffChunk *movi() const;
  std::vector<AviIndexEntry> index() const;

 private:
  void parseChildren(RiffChunk &parent, uint64_t begin, uint64_t end);

  std::vector<uint8_t> bytes_;
  RiffChunk root_;
  std::vector<std::string> problems_;
};
