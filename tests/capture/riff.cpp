#include "riff.h"

#include <fstream>
#include <iterator>

const RiffChunk *RiffChunk::child(const std::string &childId, const std::string &listType, int n) const {
  for (const RiffChunk &c : children)
    if (c.id == childId && (listType.empty() || c.type == listType) && n-- == 0) return &c;
  return nullptr;
}

RiffFile::RiffFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (bytes_.size() < 12 || tag(0) != "RIFF") {
    problems_.push_back("not a RIFF file");
    return;
  }
  root_.id = "RIFF";
  root_.size = u32(4);
  root_.type = tag(8);
  uint64_t end = 8 + uint64_t(root_.size);
  if (end > bytes_.size()) {
    problems_.push_back("RIFF size runs past the end of the file");
    end = bytes_.size();
  }
  parseChildren(root_, 12, end);
}

void RiffFile::parseChildren(RiffChunk &parent, uint64_t begin, uint64_t end) {
  uint64_t at = begin;
  while (at + 8 <= end) {
    RiffChunk c;
    c.id = tag(at);
    c.size = u32(at + 4);
    c.offset = at;
    uint64_t next = at + 8 + c.size + (c.size & 1);
    if (at + 8 + c.size > end) {
      problems_.push_back(c.id + " at " + std::to_string(at) + " runs past its parent " + parent.id);
      return;
    }
    if (c.id == "LIST") {
      c.type = tag(at + 8);
      parseChildren(c, at + 12, at + 8 + c.size);
    }
    parent.children.push_back(std::move(c));
    at = next;
  }
  if (at < end)
    problems_.push_back("trailing bytes in " + parent.id + " at " + std::to_string(at));
}

uint32_t RiffFile::u32(uint64_t at) const {
  return bytes_[at] | bytes_[at + 1] << 8 | bytes_[at + 2] << 16 | uint32_t(bytes_[at + 3]) << 24;
}

uint16_t RiffFile::u16(uint64_t at) const { return uint16_t(bytes_[at] | bytes_[at + 1] << 8); }

std::string RiffFile::tag(uint64_t at) const {
  return std::string(reinterpret_cast<const char *>(bytes_.data() + at), 4);
}

const RiffChunk *RiffFile::movi() const { return root_.child("LIST", "movi"); }

std::vector<AviIndexEntry> RiffFile::index() const {
  std::vector<AviIndexEntry> entries;
  const RiffChunk *idx = root_.child("idx1");
  if (!idx) return entries;
  for (uint64_t at = idx->offset + 8; at + 16 <= idx->offset + 8 + idx->size; at += 16)
    entries.push_back({tag(at), u32(at + 4), u32(at + 8), u32(at + 12)});
  return entries;
}
