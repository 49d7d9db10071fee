// IPersist, the property bag and its error log.
#pragma once

#include <oleauto.h>

DEFINE_GUID(IID_IPersist, 0x0000010C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(IID_IPersistPropertyBag, 0x37D84F60, 0x42CB, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51);
DEFINE_GUID(IID_IPropertyBag, 0x55272A00, 0x42CB, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51);
DEFINE_GUID(IID_IErrorLog, 0x3127CA40, 0x446E, 0x11CE, 0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51);

interface IPersist : public IUnknown {
  STDMETHOD(GetClassID)(CLSID *clsid) PURE;
};

interface IErrorLog : public IUnknown {
  STDMETHOD(AddError)(LPCOLESTR propertyName, EXCEPINFO *info) PURE;
};

// Read: the caller initialises *value (VT_EMPTY lets the bag choose the type) and owns what it
// holds afterwards.
interface IPropertyBag : public IUnknown {
  STDMETHOD(Read)(LPCOLESTR name, VARIANT *value, IErrorLog *log) PURE;
  STDMETHOD(Write)(LPCOLESTR name, VARIANT *value) PURE;
};

interface IPersistPropertyBag : public IPersist {
  STDMETHOD(InitNew)() PURE;
  STDMETHOD(Load)(IPropertyBag *bag, IErrorLog *log) PURE;
  STDMETHOD(Save)(IPropertyBag *bag, BOOL clearDirty, BOOL saveAll) PURE;
};
