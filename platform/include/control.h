// IMediaControl of the filter graph manager.
#pragma once

#include <strmif.h>

DEFINE_GUID(IID_IMediaControl, 0x56A868B1, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);

typedef LONG OAFilterState;

interface IMediaControl : public IDispatch {
  STDMETHOD(Run)() PURE;
  STDMETHOD(Pause)() PURE;
  STDMETHOD(Stop)() PURE;
  STDMETHOD(GetState)(LONG msTimeout, OAFilterState *state) PURE;
  STDMETHOD(RenderFile)(BSTR fileName) PURE;
  STDMETHOD(AddSourceFilter)(BSTR fileName, IDispatch **unknown) PURE;
  STDMETHOD(get_FilterCollection)(IDispatch **unknown) PURE;
  STDMETHOD(get_RegFilterCollection)(IDispatch **unknown) PURE;
  STDMETHOD(StopWhenReady)() PURE;
};
