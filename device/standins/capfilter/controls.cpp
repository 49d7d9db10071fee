#include "controls.h"

#include <algorithm>

namespace capfilter {
namespace {

constexpr LONG kManual = VideoProcAmp_Flags_Manual, kAuto = VideoProcAmp_Flags_Auto;
static_assert(kManual == CameraControl_Flags_Manual && kAuto == CameraControl_Flags_Auto);

struct Property {
  PropertySet set;
  LONG id, min, max, step, def, caps;
};
// The camera's own units: the processing amplifier's neutral values sit mid-range (contrast and
// saturation 100 %, gamma 1.00 as 100), white balance in kelvin, zoom in per cent, exposure as
// log2 of seconds (-6 is 1/64 s), flash on or off.
constexpr Property kProperties[] = {
    {PropertySet::procAmp, VideoProcAmp_Brightness, -100, 100, 1, 0, kManual},
    {PropertySet::procAmp, VideoProcAmp_Contrast, 0, 200, 1, 100, kManual},
    {PropertySet::procAmp, VideoProcAmp_Hue, -180, 180, 1, 0, kManual},
    {PropertySet::procAmp, VideoProcAmp_Saturation, 0, 200, 1, 100, kManual},
    {PropertySet::procAmp, VideoProcAmp_Sharpness, 0, 100, 1, 50, kManual},
    {PropertySet::procAmp, VideoProcAmp_Gamma, 1, 200, 1, 100, kManual},
    {PropertySet::procAmp, VideoProcAmp_ColorEnable, 0, 1, 1, 1, kManual},
    {PropertySet::procAmp, VideoProcAmp_WhiteBalance, 2800, 6500, 100, 5000, kAuto | kManual},
    {PropertySet::procAmp, VideoProcAmp_BacklightCompensation, 0, 1, 1, 0, kManual},
    {PropertySet::procAmp, VideoProcAmp_Gain, 0, 100, 1, 0, kManual},
    {PropertySet::camera, CameraControl_Zoom, 100, 800, 10, 100, kManual},
    {PropertySet::camera, CameraControl_Exposure, -10, -2, 1, -6, kAuto | kManual},
    {PropertySet::camera, CameraControl_Flash, 0, 1, 1, 0, kManual},
};

const Property *find(PropertySet set, LONG id) {
  for (const Property &p : kProperties)
    if (p.set == set && p.id == id) return &p;
  return nullptr;
}

// Automatic where the property has it, else manual.
LONG defaultFlags(const Property &p) { return p.caps & kAuto ? kAuto : kManual; }

}  // namespace

HRESULT Controls::range(PropertySet set, LONG id, LONG *min, LONG *max, LONG *step, LONG *def, LONG *caps) const {
  if (!min || !max || !step || !def || !caps) return E_POINTER;
  const Property *p = find(set, id);
  if (!p) return E_PROP_ID_UNSUPPORTED;
  *min = p->min, *max = p->max, *step = p->step, *def = p->def, *caps = p->caps;
  return S_OK;
}

HRESULT Controls::set(PropertySet set, LONG id, LONG value, LONG flags) {
  const Property *p = find(set, id);
  if (!p) return E_PROP_ID_UNSUPPORTED;
  if ((flags != kAuto && flags != kManual) || !(flags & p->caps)) return E_INVALIDARG;
  std::lock_guard<std::mutex> held(lock_);
  if (flags == kAuto) {
    // The camera chooses; the manual value stays for when it is switched back.
    values_[{set, id}] = {valueOf(set, id).value, kAuto};
    return S_OK;
  }
  if (value < p->min || value > p->max || (value - p->min) % p->step != 0) return E_INVALIDARG;
  values_[{set, id}] = {value, kManual};
  return S_OK;
}

HRESULT Controls::get(PropertySet set, LONG id, LONG *value, LONG *flags) const {
  if (!value || !flags) return E_POINTER;
  if (!find(set, id)) return E_PROP_ID_UNSUPPORTED;
  std::lock_guard<std::mutex> held(lock_);
  const Value v = valueOf(set, id);
  *value = v.value, *flags = v.flags;
  return S_OK;
}

Controls::Value Controls::valueOf(PropertySet set, LONG id) const {
  auto it = values_.find({set, id});
  if (it != values_.end()) return it->second;
  const Property *p = find(set, id);
  return {p->def, defaultFlags(*p)};
}

device::SensorControls Controls::sensorControls() const {
  std::lock_guard<std::mutex> held(lock_);
  auto manual = [&](PropertySet set, LONG id) { return valueOf(set, id).flags == kManual; };
  auto amp = [&](LONG id) { return valueOf(PropertySet::procAmp, id).value; };
  auto cam = [&](LONG id) { return valueOf(PropertySet::camera, id).value; };
  device::SensorControls c;
  c.brightness = amp(VideoProcAmp_Brightness);
  c.contrast = amp(VideoProcAmp_Contrast) - 100;
  c.hue = amp(VideoProcAmp_Hue);
  c.saturation = amp(VideoProcAmp_Saturation) - 100;
  c.sharpness = (amp(VideoProcAmp_Sharpness) - 50) * 2;
  c.gamma = std::clamp(amp(VideoProcAmp_Gamma) - 100, -100, 100);
  if (amp(VideoProcAmp_ColorEnable) == 0) c.effect = device::Effect::grey;
  if (manual(PropertySet::procAmp, VideoProcAmp_WhiteBalance)) {
    const LONG kelvin = amp(VideoProcAmp_WhiteBalance);
    c.whiteBalance = kelvin < 3600   ? device::WhiteBalance::tungsten
                     : kelvin < 4600 ? device::WhiteBalance::fluorescent
                     : kelvin < 5800 ? device::WhiteBalance::daylight
                                     : device::WhiteBalance::cloudy;
  }
  c.gain = amp(VideoProcAmp_Gain);
  if (manual(PropertySet::camera, CameraControl_Exposure)) c.exposure = std::clamp((cam(CameraControl_Exposure) + 6) * 25, -100, 100);
  if (amp(VideoProcAmp_BacklightCompensation)) c.exposure = std::min(c.exposure + 30, 100);
  c.zoom = uint32_t(cam(CameraControl_Zoom)) * 65536 / 100;
  c.flash = cam(CameraControl_Flash) != 0;
  return c;
}

}  // namespace capfilter
