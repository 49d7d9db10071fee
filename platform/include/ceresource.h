// The resources a module carries: its string table and its bitmaps, compiled into the module.
// A module declares them once, in one source file:
//
//   static const CeStringResource strings[] = {{1, u"Title"}, {2, u"ClassName"}};
//   static const CeBitmapResource bitmaps[] = {{141, glyphs, sizeof(glyphs)}};
//   CE_RESOURCES(strings, bitmaps);        // or CE_RESOURCES(strings)
//
// LoadStringW and LoadBitmapW then find them through the module's instance handle (NULL or the
// handle of the program stands for the program itself).
#pragma once

#include <windows.h>

#include <cstddef>

struct CeStringResource {
  UINT id;
  LPCWSTR text;
};

// A bitmap resource is a packed device-independent bitmap, as a bitmap file holds it after
// its 14-byte file header: BITMAPINFOHEADER, the colour table, then the rows (each padded
// to a multiple of 4 bytes, bottom-up when biHeight is positive).
struct CeBitmapResource {
  UINT id;
  const BYTE *dib;
  DWORD size;
};

struct CeResourceTable {
  const CeStringResource *strings;
  UINT stringCount;
  const CeBitmapResource *bitmaps;
  UINT bitmapCount;
};

// Makes `table` (which must live as long as the module) the resources of the module that
// contains it. A module registers at most one table; a second one replaces the first.
extern "C" void WINAPI CeRegisterResources(const CeResourceTable *table);

template <size_t S>
constexpr CeResourceTable CeResourceTableOf(const CeStringResource (&strings)[S]) {
  return {strings, static_cast<UINT>(S), nullptr, 0};
}
template <size_t S, size_t B>
constexpr CeResourceTable CeResourceTableOf(const CeStringResource (&strings)[S],
                                            const CeBitmapResource (&bitmaps)[B]) {
  return {strings, static_cast<UINT>(S), bitmaps, static_cast<UINT>(B)};
}

struct CeResourceRegistration {
  CeResourceTable table;
  explicit CeResourceRegistration(const CeResourceTable &t) : table(t) { CeRegisterResources(&table); }
};

#define CE_RESOURCES(...) \
  static const CeResourceRegistration ceModuleResources_{CeResourceTableOf(__VA_ARGS__)}
