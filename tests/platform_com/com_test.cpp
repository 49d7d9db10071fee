// COM through its SDK interface: initialisation per thread, creation over a registered
// in-process server, GUID text, BSTR and VARIANT.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "com_fixture.h"

namespace {

DEFINE_GUID(CLSID_TestObject, 0x1D0C1E57, 0x0001, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
DEFINE_GUID(CLSID_Unregistered, 0x1D0C1E57, 0x0002, 0x4000, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02);

class Com : public ComFixture {
 protected:
  void SetUp() override {
    ComFixture::SetUp();
    registerServer(CLSID_TestObject, TEST_SERVER);
  }
  LONG live() {
    HMODULE server = LoadLibraryW(toHandsetText(TEST_SERVER).c_str());
    auto count = reinterpret_cast<LONG (*)()>(GetProcAddress(server, "TestLiveObjects"));
    LONG n = count();
    FreeLibrary(server);
    return n;
  }
};

TEST_F(Com, InitialisationIsCountedPerThreadAndGatesCreation) {
  IUnknown *object = reinterpret_cast<IUnknown *>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void **)&object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
  CoUninitialize();
  // One initialisation is left: creation still works.
  ASSERT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void **)&object), S_OK);
  CoUninitialize();
  IUnknown *second = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void **)&second),
            CO_E_NOTINITIALIZED);
  // The object made before keeps working on another thread that never initialised COM.
  struct Use {
    IUnknown *object;
    HRESULT hr = E_FAIL;
    static DWORD WINAPI run(LPVOID p) {
      auto *u = static_cast<Use *>(p);
      IPersist *persist = nullptr;
      u->hr = u->object->QueryInterface(IID_IPersist, (void **)&persist);
      if (persist) persist->Release();
      return 0;
    }
  } use{object};
  HANDLE t = CreateThread(nullptr, 0, Use::run, &use, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  CloseHandle(t);
  EXPECT_EQ(use.hr, S_OK);
  EXPECT_EQ(object->Release(), 0u);
  EXPECT_EQ(live(), 0);
}

TEST_F(Com, CreationResults) {
  ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
  struct Case {
    const GUID *clsid;
    DWORD context;
    const IID *iid;
    bool outer;
    HRESULT expected;
  } cases[] = {
      {&CLSID_TestObject, CLSCTX_INPROC_SERVER, &IID_IPersist, false, S_OK},
      {&CLSID_TestObject, CLSCTX_ALL, &IID_IUnknown, false, S_OK},
      {&CLSID_TestObject, CLSCTX_LOCAL_SERVER, &IID_IUnknown, false, E_NOTIMPL},
      {&CLSID_TestObject, CLSCTX_INPROC_SERVER, &IID_IClassFactory, false, E_NOINTERFACE},
      {&CLSID_TestObject, CLSCTX_INPROC_SERVER, &IID_IUnknown, true, CLASS_E_NOAGGREGATION},
      {&CLSID_Unregistered, CLSCTX_INPROC_SERVER, &IID_IUnknown, false, REGDB_E_CLASSNOTREG},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    IUnknown *object = reinterpret_cast<IUnknown *>(1);
    IUnknown *outer = c.outer ? reinterpret_cast<IUnknown *>(2) : nullptr;
    EXPECT_EQ(CoCreateInstance(*c.clsid, outer, c.context, *c.iid, (void **)&object), c.expected);
    if (SUCCEEDED(c.expected)) {
      ASSERT_NE(object, nullptr);
      EXPECT_EQ(object->Release(), 0u);
    } else {
      EXPECT_EQ(object, nullptr);
    }
  }
  // A registered library that does not serve the class.
  registerServer(CLSID_Unregistered, TEST_SERVER);
  IUnknown *object = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_Unregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void **)&object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(live(), 0);
  CoUninitialize();
}

TEST(Guids, TextRoundTripsAndRejectsOtherShapes) {
  OLECHAR text[39];
  EXPECT_EQ(StringFromGUID2(CLSID_TestObject, text, 38), 0);
  ASSERT_EQ(StringFromGUID2(CLSID_TestObject, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{1D0C1E57-0001-4000-8000-000000000001}");
  GUID back{};
  EXPECT_EQ(CLSIDFromString(text, &back), S_OK);
  EXPECT_TRUE(IsEqualGUID(back, CLSID_TestObject));
  EXPECT_EQ(CLSIDFromString(u"{1d0c1e57-0001-4000-8000-000000000001}", &back), S_OK);
  EXPECT_TRUE(IsEqualGUID(back, CLSID_TestObject));
  for (const char16_t *bad : {u"1D0C1E57-0001-4000-8000-000000000001", u"{1D0C1E57-0001-4000-8000-00000000000G}",
                              u"{1D0C1E57-0001-4000-8000-000000000001}x", u"{1D0C1E57-0001-4000-8000-00000000001}"})
    EXPECT_EQ(CLSIDFromString(bad, &back), E_INVALIDARG) << std::u16string(bad).size();
}

TEST(Bstr, LengthPrefixEmbeddedZerosAndNull) {
  BSTR s = SysAllocStringLen(u"ab\0cd", 5);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 5u);
  EXPECT_EQ(SysStringByteLen(s), 10u);
  EXPECT_EQ(*reinterpret_cast<DWORD *>(reinterpret_cast<BYTE *>(s) - 4), 10u);
  EXPECT_EQ(s[5], 0);
  EXPECT_EQ(s[3], u'c');
  SysFreeString(s);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

TEST(Variant, ClearAndCopyOwnTheirContents) {
  VARIANT a, b;
  VariantInit(&a);
  VariantInit(&b);
  EXPECT_EQ(a.vt, VT_EMPTY);
  a.vt = VT_BSTR;
  a.bstrVal = SysAllocString(u"CAM1:");
  EXPECT_EQ(VariantCopy(&b, &a), S_OK);
  EXPECT_NE(b.bstrVal, a.bstrVal);
  EXPECT_EQ(std::u16string(b.bstrVal), u"CAM1:");
  EXPECT_EQ(VariantClear(&a), S_OK);
  EXPECT_EQ(a.vt, VT_EMPTY);
  EXPECT_EQ(std::u16string(b.bstrVal), u"CAM1:");
  EXPECT_EQ(VariantClear(&b), S_OK);
  b.vt = 0x77;
  EXPECT_EQ(VariantClear(&b), DISP_E_BADVARTYPE);
}

}  // namespace
