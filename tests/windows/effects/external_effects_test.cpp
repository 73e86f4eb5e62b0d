// RasterObject's effect methods as seen from the effect class: a recording
// Sinusize registered for this process under its CLSID receives the
// creation, the setter calls and the Apply call. (Each method's arguments
// reaching its kernel are checked with the effect component.)
#include "test_support.h"

#include "fake_com.h"

#include "RastelleEffects_h.h"

namespace rastelle::test {
namespace {

const CLSID kSinusize = {0x1F9E1584, 0x6751, 0x475D, {0xB4, 0x2D, 0xFA, 0xFA, 0xBC, 0xF2, 0x3A, 0xF1}};

// Records its setter calls as (vtable slot, value), faulting in the one at
// `faultingSlot`; its automation Apply inverts the colours it gets.
class RecordingSinusize final : public FakeDispatch<ISinusize> {
public:
    std::vector<std::pair<unsigned, LONG>> calls;
    int applied = 0;
    bool appliedAfterSetters = true;
    unsigned faultingSlot = 0;

    RecordingSinusize() {
        names = [](const wchar_t* name, DISPID* id) { return wcscmp(name, L"Apply") ? DISP_E_UNKNOWNNAME : (*id = 7, S_OK); };
        invoke = [this](DISPID, WORD, DISPPARAMS* params) {
            ++applied;
            SAFEARRAY* copy = nullptr;
            if (FAILED(SafeArrayCopy(params->rgvarg[1].parray, &copy))) return E_FAIL;
            com::SafeArrayDataLock data(copy);
            auto* pixels = static_cast<LONG*>(data.data());
            for (ULONG i = 0; i < copy->rgsabound[0].cElements * copy->rgsabound[1].cElements; ++i) pixels[i] ^= 0x00FFFFFF;
            *params->rgvarg[0].pparray = copy;
            return S_OK;
        };
    }
    STDMETHODIMP put_HorizontalAmplitude(LONG value) override { return Set(9, value); }
    STDMETHODIMP put_VerticalAmplitude(LONG value) override { return Set(11, value); }
    STDMETHODIMP put_HorizontalWaveLength(LONG value) override { return Set(13, value); }
    STDMETHODIMP put_VerticalWaveLength(LONG value) override { return Set(15, value); }
    STDMETHODIMP put_HorizontalStartPhase(LONG value) override { return Set(17, value); }
    STDMETHODIMP put_VerticalStartPhase(LONG value) override { return Set(19, value); }
    STDMETHODIMP put_BackgroundColor(LONG value) override { return Set(21, value); }
    STDMETHODIMP get_HorizontalAmplitude(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_VerticalAmplitude(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_HorizontalWaveLength(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_VerticalWaveLength(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_HorizontalStartPhase(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_VerticalStartPhase(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_BackgroundColor(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP Apply(SAFEARRAY*, SAFEARRAY**) override { return E_NOTIMPL; }

private:
    HRESULT Set(unsigned slot, LONG value) {
        if (slot == faultingSlot) Fault();
        calls.emplace_back(slot, value);
        appliedAfterSetters = applied == 0;
        return S_OK;
    }
};

// A class object for this process, registered while it lives, that hands
// out one recorder (or fails with `result`) and notes what it was asked for.
class RecorderFactory final : public Fake<IClassFactory> {
public:
    RecorderFactory(RecordingSinusize* recorder, HRESULT result) : recorder_(recorder), result_(result) {
        EXPECT_EQ(CoRegisterClassObject(kSinusize, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_), S_OK);
    }
    ~RecorderFactory() override { CoRevokeClassObject(cookie_); }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        requested = iid, aggregated = outer != nullptr;
        return FAILED(result_) ? (*out = nullptr, result_) : recorder_->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    IID requested = IID_NULL;
    bool aggregated = false;

private:
    RecordingSinusize* recorder_;
    HRESULT result_;
    DWORD cookie_ = 0;
};

// A recorder and its class object for one test.
struct Registered {
    com::ComPtr<RecordingSinusize> recorder = MakeFake<RecordingSinusize>();
    RecorderFactory factory;
    explicit Registered(HRESULT result = S_OK) : factory(recorder.get(), result) {}
};

TEST(EffectMethods, CreateTheClassSetBySlotInOrderThenApplyAndRelease) {
    Registered effect;
    const auto pixels = OpaqueGradient(5, 3);
    auto raster = RasterWith(5, 3, pixels);
    EXPECT_EQ(raster->Sinusize(101, 102, 103, 104, 105, 106, 107), S_OK);
    EXPECT_EQ(effect.factory.requested, __uuidof(ISinusize));
    EXPECT_FALSE(effect.factory.aggregated);
    EXPECT_EQ(effect.recorder->calls, (std::vector<std::pair<unsigned, LONG>>{
                                          {9, 101}, {13, 102}, {17, 103}, {11, 104}, {15, 105}, {19, 106}, {21, 107}}));
    EXPECT_EQ(effect.recorder->applied, 1);
    EXPECT_TRUE(effect.recorder->appliedAfterSetters);
    EXPECT_EQ(effect.recorder->refs, 1u) << "every reference taken is released";
    std::vector<std::uint32_t> inverted = pixels;
    for (auto& p : inverted) p ^= 0x00FFFFFF;
    EXPECT_EQ(PixelsOf(raster.get()), inverted) << "the transform's result is the image";
}

TEST(EffectMethods, CreationFailureIsReturnedBareAndLeavesTheImage) {
    Registered effect(E_ACCESSDENIED);
    const auto pixels = OpaqueGradient(4, 4);
    auto raster = RasterWith(4, 4, pixels);
    ClearThreadError();
    EXPECT_EQ(raster->Sinusize(1, 2, 3, 4, 5, 6, 7), E_ACCESSDENIED);
    EXPECT_FALSE(TakeThreadError().present);
    EXPECT_TRUE(effect.recorder->calls.empty());
    EXPECT_EQ(PixelsOf(raster.get()), pixels);
}

// A fault in a setter is not seen: the other setters and Apply run. Without
// an image, the Apply failure is returned after the setters.
TEST(EffectMethods, AFaultInASetterIsNotSeenAndWithoutAnImageTheApplyFailureIsReturned) {
    Registered effect;
    effect.recorder->faultingSlot = 13;
    EXPECT_EQ(RasterWith(3, 2, OpaqueGradient(3, 2))->Sinusize(1, 2, 3, 4, 5, 6, 7), S_OK);
    EXPECT_EQ(effect.recorder->calls,
              (std::vector<std::pair<unsigned, LONG>>{{9, 1}, {17, 3}, {11, 4}, {15, 5}, {19, 6}, {21, 7}}))
        << "the setters after the fault ran";
    EXPECT_EQ(effect.recorder->applied, 1);
    effect.recorder->faultingSlot = 0;
    effect.recorder->calls.clear();
    ExpectError(NewRaster()->Sinusize(1, 2, 3, 4, 5, 6, 7), static_cast<HRESULT>(0xE0000205),
                L"Cannot apply the transform, because there is no any data. Create new image or load it first.");
    EXPECT_EQ(effect.recorder->calls.size(), 7u) << "the setters ran before ApplyTransform";
    EXPECT_EQ(effect.recorder->refs, 1u);
}

}  // namespace
}  // namespace rastelle::test
