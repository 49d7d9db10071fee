#include "tarnjpg/markers.h"

#include "tarnjpg/tables.h"

namespace tarnjpg {

namespace {

struct ByteWriter {
  uint8_t* p;
  void byte(uint32_t v) { *p++ = uint8_t(v); }
  void word(uint32_t v) {  // big-endian
    byte(v >> 8);
    byte(v);
  }
  void marker(uint32_t code, uint32_t length) {
    byte(0xFF);
    byte(code);
    word(length);
  }
};

void quantSegment(ByteWriter& w, int id, const uint8_t quant[64]) {
  w.marker(0xDB, 67);
  w.byte(id);
  for (uint8_t natural : kZigzagNatural) w.byte(quant[natural]);
}

void huffmanSegment(ByteWriter& w, int classAndId, const HuffmanSpec& spec) {
  w.marker(0xC4, 19 + spec.valueCount);
  w.byte(classAndId);
  for (uint8_t count : spec.bits) w.byte(count);
  for (int i = 0; i < spec.valueCount; ++i) w.byte(spec.values[i]);
}

}  // namespace

uint32_t writeHeader(uint8_t* out, const FrameLayout& layout, const uint8_t lumaQuant[64],
                     const uint8_t chromaQuant[64]) {
  ByteWriter w{out};
  w.byte(0xFF);
  w.byte(0xD8);
  w.marker(0xE0, 16);
  for (char c : {'J', 'F', 'I', 'F', '\0'}) w.byte(uint8_t(c));
  w.word(0x0102);  // version 1.02
  w.byte(0);       // density unit 0: the densities give the aspect ratio
  w.word(72);
  w.word(72);
  w.word(0);  // no thumbnail

  quantSegment(w, 0, lumaQuant);
  if (layout.colour) quantSegment(w, 1, chromaQuant);
  huffmanSegment(w, 0x00, kLumaDcSpec);
  huffmanSegment(w, 0x10, kLumaAcSpec);
  if (layout.colour) {
    huffmanSegment(w, 0x01, kChromaDcSpec);
    huffmanSegment(w, 0x11, kChromaAcSpec);
  }

  int components = layout.colour ? 3 : 1;
  w.marker(0xC0, 3 * components + 8);
  w.byte(8);
  w.word(layout.lines);
  w.word(layout.samplesPerLine);
  w.byte(components);
  for (int k = 1; k <= components; ++k) {
    w.byte(k);
    w.byte(k == 1 ? layout.lumaSampling : 0x11);
    w.byte(k == 1 ? 0 : 1);
  }

  w.marker(0xDA, 2 * components + 6);
  w.byte(components);
  for (int k = 1; k <= components; ++k) {
    w.byte(k);
    w.byte(k == 1 ? 0x00 : 0x11);
  }
  w.byte(0x00);
  w.byte(0x3F);
  w.byte(0x00);
  return uint32_t(w.p - out);
}

}  // namespace tarnjpg
