// Small interfaces and a class of the tests' own for the vtable-slot caller:
// ITestSetters at slots 3-5 and ITestMoreSetters, derived from it, adding
// slot 6.
#pragma once

#include "com/com_object.h"

MIDL_INTERFACE("5b0d7a43-61c2-4f0e-9d3a-2e8c4b7f1a01")
ITestSetters : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE put_Long(LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Float(FLOAT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Pair(LONG first, FLOAT second) = 0;
};
MIDL_INTERFACE("5b0d7a43-61c2-4f0e-9d3a-2e8c4b7f1a02")
ITestMoreSetters : public ITestSetters {
    virtual HRESULT STDMETHODCALLTYPE put_Other(LONG value) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(ITestSetters, 0x5b0d7a43, 0x61c2, 0x4f0e, 0x9d, 0x3a, 0x2e, 0x8c, 0x4b, 0x7f, 0x1a, 0x01)
__CRT_UUID_DECL(ITestMoreSetters, 0x5b0d7a43, 0x61c2, 0x4f0e, 0x9d, 0x3a, 0x2e, 0x8c, 0x4b, 0x7f, 0x1a, 0x02)
#endif

namespace rastelle::test {

// Records what its setters received; each answers with its slot, so a
// caller sees which method it reached.
class TestSetters : public com::ComObject<TestSetters, ITestMoreSetters> {
public:
    STDMETHODIMP put_Long(LONG value) override { return longValue = value, calls++, 3; }
    STDMETHODIMP put_Float(FLOAT value) override { return floatValue = value, calls++, 4; }
    STDMETHODIMP put_Pair(LONG first, FLOAT second) override { return longValue = first, floatValue = second, calls++, 5; }
    STDMETHODIMP put_Other(LONG value) override { return otherValue = value, calls++, 6; }
    LONG longValue = 0, otherValue = 0;
    FLOAT floatValue = 0.0f;
    int calls = 0;
};

}  // namespace rastelle::test
