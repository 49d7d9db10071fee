// GDI objects: device contexts from GetDC, the stock objects and bitmaps. Every handle is the
// address of an object in one table, so stale or foreign handles are refused.
#include "display/gdi.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "windows/internal.h"

namespace platform {
namespace {

struct GdiObject {
  virtual ~GdiObject() = default;
};

struct DeviceContext : GdiObject {
  HWND window;
  explicit DeviceContext(HWND w) : window(w) {}
};

struct StockObject : GdiObject {
  int index;
  explicit StockObject(int i) : index(i) {}
};

struct Bitmap : GdiObject {
  BITMAPINFOHEADER header;
  LONG stride;
  std::vector<BYTE> rows;
};

std::mutex objectsLock;
std::map<void *, std::unique_ptr<GdiObject>> objects;

void *keep(std::unique_ptr<GdiObject> object) {
  void *handle = object.get();
  std::lock_guard<std::mutex> guard(objectsLock);
  objects.emplace(handle, std::move(object));
  return handle;
}

template <typename T>
T *lookup(void *handle) {
  auto it = objects.find(handle);
  return it == objects.end() ? nullptr : dynamic_cast<T *>(it->second.get());
}

constexpr int kStockObjects = SYSTEM_FONT + 1;

}  // namespace

bool isDeviceContext(HDC dc) {
  std::lock_guard<std::mutex> guard(objectsLock);
  return lookup<DeviceContext>(dc) != nullptr;
}

HBITMAP createBitmap(const BYTE *dib, size_t size) {
  BITMAPINFOHEADER h;
  if (!dib || size < sizeof(h)) return nullptr;
  std::memcpy(&h, dib, sizeof(h));
  const bool knownDepth = h.biBitCount == 1 || h.biBitCount == 4 || h.biBitCount == 8 || h.biBitCount == 16 ||
                          h.biBitCount == 24 || h.biBitCount == 32;
  const bool masks = h.biCompression == BI_BITFIELDS && (h.biBitCount == 16 || h.biBitCount == 32);
  if (h.biSize < sizeof(h) || h.biSize > size || h.biWidth <= 0 || h.biWidth > 0x8000 || h.biHeight == 0 ||
      h.biHeight < -0x8000 || h.biHeight > 0x8000 || h.biPlanes != 1 || !knownDepth ||
      (h.biCompression != BI_RGB && !masks))
    return nullptr;
  uint64_t colours = h.biBitCount <= 8 ? (h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount) : h.biClrUsed;
  if (h.biBitCount <= 8 && colours > (1u << h.biBitCount)) return nullptr;
  uint64_t stride = (static_cast<uint64_t>(h.biWidth) * h.biBitCount + 31) / 32 * 4;
  uint64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  uint64_t rowsAt = h.biSize + (masks && h.biSize == sizeof(h) ? 12 : 0) + colours * 4;
  if (rowsAt + stride * height > size) return nullptr;

  auto bitmap = std::make_unique<Bitmap>();
  bitmap->header = h;
  bitmap->stride = static_cast<LONG>(stride);
  bitmap->rows.assign(dib + rowsAt, dib + rowsAt + stride * height);
  return static_cast<HBITMAP>(keep(std::move(bitmap)));
}

}  // namespace platform

using namespace platform;

extern "C" HDC WINAPI GetDC(HWND window) {
  if (window && !IsWindow(window)) return nullptr;
  return static_cast<HDC>(keep(std::make_unique<DeviceContext>(window)));
}

extern "C" int WINAPI ReleaseDC(HWND, HDC dc) {
  std::lock_guard<std::mutex> guard(objectsLock);
  if (!lookup<DeviceContext>(dc)) return 0;
  objects.erase(dc);
  return 1;
}

extern "C" HGDIOBJ WINAPI GetStockObject(int index) {
  if (index < 0 || index >= kStockObjects || (index > NULL_PEN && index != SYSTEM_FONT)) return nullptr;
  static void *const stock[kStockObjects] = {
#define STOCK(i) keep(std::make_unique<StockObject>(i))
      STOCK(0), STOCK(1), STOCK(2), STOCK(3), STOCK(4), STOCK(5), STOCK(6),
      STOCK(7), STOCK(8), nullptr,  nullptr,  nullptr,  nullptr,  STOCK(SYSTEM_FONT),
#undef STOCK
  };
  return stock[index];
}

extern "C" BOOL WINAPI DeleteObject(HGDIOBJ object) {
  std::lock_guard<std::mutex> guard(objectsLock);
  if (lookup<StockObject>(object)) return TRUE;
  if (!lookup<Bitmap>(object)) return FALSE;
  objects.erase(object);
  return TRUE;
}

extern "C" int WINAPI GetObjectW(HGDIOBJ object, int size, LPVOID out) {
  std::lock_guard<std::mutex> guard(objectsLock);
  Bitmap *bitmap = lookup<Bitmap>(object);
  if (!bitmap) return 0;
  if (!out) return sizeof(BITMAP);
  if (size < static_cast<int>(sizeof(BITMAP))) return 0;
  const BITMAPINFOHEADER &h = bitmap->header;
  BITMAP info{0, h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, bitmap->stride, 1, h.biBitCount,
              bitmap->rows.data()};
  std::memcpy(out, &info, sizeof(info));
  return sizeof(BITMAP);
}
