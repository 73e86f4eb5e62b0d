#include "intrinsics.h"

#include "asp_interfaces.h"
#include "com/automation.h"
#include "com/com_object.h"
#include "com/dispatch.h"
#include "com/errors.h"
#include "com/memory_stream.h"
#include "page_runner.h"
#include "text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>

namespace devhost {

using rastelle::com::ComPtr;
using rastelle::com::CreateComObject;
using rastelle::com::UniqueBstr;
using rastelle::com::UniqueVariant;

namespace {

// Sets the thread's error object and returns hr, so that the script sees
// the description and source.
HRESULT Fail(HRESULT hr, const wchar_t* source, const std::wstring& description) {
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.put()))) {
        create->SetSource(const_cast<LPOLESTR>(source));
        create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(info))) SetErrorInfo(0, info.get());
    }
    return hr;
}

// Runs a COM method's body: a C++ exception ends here, at the boundary, as a
// failure code, and never unwinds into the script engine or a component.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    return rastelle::com::NoThrow(std::forward<Body>(body), E_FAIL);
}

// IDispatch from the host's type library, plus the collection shortcut of
// ASP scripts: Request.Form("name") reads the property Form (which takes no
// argument) and then the default member of the collection with the argument.
template <class Itf>
class AspDispatch : public rastelle::com::Dispatch<Itf> {
public:
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override {
        // Past the page's time limit the call fails, which stops the script.
        if (!ScriptMayContinue()) return Guarded([] { return Fail(E_FAIL, L"Active Server Pages", kTimeLimitText); });
        HRESULT hr = rastelle::com::Dispatch<Itf>::Invoke(id, riid, lcid, flags, params, result, exception, argError);
        // Wine's VBScript calls Request("name") as a method only; the
        // default member is a property.
        if (hr == DISP_E_MEMBERNOTFOUND && flags == DISPATCH_METHOD) {
            flags = DISPATCH_PROPERTYGET;
            hr = rastelle::com::Dispatch<Itf>::Invoke(id, riid, lcid, flags, params, result, exception, argError);
        }
        if (hr != DISP_E_BADPARAMCOUNT || !params || params->cArgs == 0 || !(flags & DISPATCH_PROPERTYGET) ||
            params->cNamedArgs != 0)
            return hr;
        DISPPARAMS none{};
        UniqueVariant collection;
        hr = rastelle::com::Dispatch<Itf>::Invoke(id, riid, lcid, DISPATCH_PROPERTYGET, &none, collection.get(),
                                                  exception, argError);
        if (FAILED(hr)) return hr;
        if (collection->vt != VT_DISPATCH || !collection->pdispVal) return DISP_E_BADPARAMCOUNT;
        return collection->pdispVal->Invoke(DISPID_VALUE, riid, lcid, flags, params, result, exception, argError);
    }
};

HRESULT ReturnString(std::wstring_view text, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// A variant's text, as VBScript would print it ("True" for a boolean).
HRESULT VariantText(const VARIANT& value, std::wstring& text) {
    const VARIANT* v = &value;
    while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    if (v->vt == VT_EMPTY || v->vt == VT_NULL) {
        text.clear();
        return S_OK;
    }
    UniqueVariant converted;
    const HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(v), VARIANT_ALPHABOOL, VT_BSTR);
    if (FAILED(hr)) return hr;
    text.assign(converted->bstrVal, SysStringLen(converted->bstrVal));
    return S_OK;
}

// ----------------------------------------------------------------------------

class UploadedFile final : public rastelle::com::ComObject<UploadedFile, AspDispatch<IUploadedFile>, IStream> {
public:
    // The stream reads the upload's own bytes, which it shares; its reads
    // and seeks never reach past them.
    HRESULT Init(std::shared_ptr<FilePart> file) {
        file_ = std::move(file);
        return rastelle::com::CreateReadOnlyStream(file_->bytes, stream_.put());
    }

    STDMETHODIMP get_FileName(BSTR* name) override {
        return Guarded([&] { return ReturnString(Widen(file_->fileName), name); });
    }
    STDMETHODIMP get_ContentType(BSTR* type) override {
        return Guarded([&] { return ReturnString(Widen(file_->contentType), type); });
    }
    STDMETHODIMP get_Size(LONG* bytes) override {
        if (!bytes) return E_POINTER;
        *bytes = static_cast<LONG>(file_->bytes->size());
        return S_OK;
    }

    // IStream: the read-only stream's, which does not throw.
    STDMETHODIMP Read(void* data, ULONG size, ULONG* read) override { return stream_->Read(data, size, read); }
    STDMETHODIMP Write(const void* data, ULONG size, ULONG* written) override { return stream_->Write(data, size, written); }
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        return stream_->Seek(move, origin, position);
    }
    STDMETHODIMP SetSize(ULARGE_INTEGER size) override { return stream_->SetSize(size); }
    STDMETHODIMP CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override {
        return stream_->CopyTo(target, size, read, written);
    }
    STDMETHODIMP Commit(DWORD flags) override { return stream_->Commit(flags); }
    STDMETHODIMP Revert() override { return stream_->Revert(); }
    STDMETHODIMP LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override {
        return stream_->LockRegion(offset, size, type);
    }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) override {
        return stream_->UnlockRegion(offset, size, type);
    }
    STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override { return stream_->Stat(stat, flags); }
    STDMETHODIMP Clone(IStream** out) override { return stream_->Clone(out); }

private:
    std::shared_ptr<FilePart> file_;
    ComPtr<IStream> stream_;
};

// A value of a collection as a variant: the text, or the upload object.
HRESULT ValueVariant(const FormValue& value, VARIANT* out) {
    if (!value.file) {
        const std::wstring text = Widen(value.text);
        out->vt = VT_BSTR;
        out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return out->bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    ComPtr<IDispatch> file;
    HRESULT hr = CreateComObject<UploadedFile>(nullptr, __uuidof(IDispatch), file.put_void());
    if (FAILED(hr)) return hr;
    hr = static_cast<UploadedFile*>(static_cast<AspDispatch<IUploadedFile>*>(static_cast<IUploadedFile*>(file.get())))
             ->Init(value.file);
    if (FAILED(hr)) return hr;
    out->vt = VT_DISPATCH;
    out->pdispVal = file.detach();
    return S_OK;
}

// The values of one name, joined with ", " as ASP's default value does.
HRESULT JoinedVariant(const std::vector<FormValue>& values, VARIANT* out) {
    if (values.size() == 1) return ValueVariant(values[0], out);
    std::string joined;
    for (size_t i = 0; i < values.size(); ++i) joined += (i ? ", " : "") + values[i].text;
    return ValueVariant({joined, nullptr}, out);
}

// The position in a 1-based index variant, or -1 when it is not a number.
long IndexOf(const VARIANT& v) {
    UniqueVariant number;
    if (v.vt == VT_BSTR || FAILED(VariantChangeType(number.get(), const_cast<VARIANT*>(&v), 0, VT_I4))) return -1;
    return number->lVal;
}

bool IsMissing(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// ----------------------------------------------------------------------------

class StringList final : public rastelle::com::ComObject<StringList, AspDispatch<IStringList>> {
public:
    std::vector<FormValue> values;

    STDMETHODIMP get_Item(VARIANT index, VARIANT* out) override {
        return Guarded([&]() -> HRESULT {
            if (!out) return E_POINTER;
            VariantInit(out);
            if (IsMissing(index)) return values.empty() ? S_OK : JoinedVariant(values, out);
            const long i = IndexOf(index);
            if (i < 1 || static_cast<size_t>(i) > values.size())
                return Fail(DISP_E_BADINDEX, L"Request object", L"An index of the list is out of range.");
            return ValueVariant(values[static_cast<size_t>(i) - 1], out);
        });
    }
    STDMETHODIMP get_Count(int* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<int>(values.size());
        return S_OK;
    }
    STDMETHODIMP get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
};

class Dictionary final : public rastelle::com::ComObject<Dictionary, AspDispatch<IRequestDictionary>> {
public:
    std::shared_ptr<PageContext> context;
    const Fields* fields = nullptr;

    // By name: the value(s), or empty; by 1-based position: that entry's value.
    STDMETHODIMP get_Item(VARIANT key, VARIANT* out) override {
        return Guarded([&]() -> HRESULT {
            if (!out) return E_POINTER;
            VariantInit(out);
            if (IsMissing(key)) return AllText(out);
            const Fields::Entry* entry = EntryFor(key);
            return entry ? JoinedVariant(entry->values, out) : S_OK;
        });
    }
    STDMETHODIMP get__NewEnum(IUnknown**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Count(int* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<int>(fields->Entries().size());
        return S_OK;
    }
    STDMETHODIMP get_Key(VARIANT key, VARIANT* out) override {
        return Guarded([&]() -> HRESULT {
            if (!out) return E_POINTER;
            VariantInit(out);
            const Fields::Entry* entry = EntryFor(key);
            if (!entry) return Fail(DISP_E_BADINDEX, L"Request object", L"The key is not in the collection.");
            return ValueVariant({entry->name, nullptr}, out);
        });
    }

private:
    const Fields::Entry* EntryFor(const VARIANT& key) {
        const VARIANT* k = &key;
        while (k->vt == (VT_BYREF | VT_VARIANT)) k = k->pvarVal;
        const long index = IndexOf(*k);
        if (index >= 1 && static_cast<size_t>(index) <= fields->Entries().size())
            return &fields->Entries()[static_cast<size_t>(index) - 1];
        std::wstring name;
        if (index >= 0 || FAILED(VariantText(*k, name))) return nullptr;
        return fields->Find(Narrow(name));
    }

    // The collection as a query string, as ASP's default value is.
    HRESULT AllText(VARIANT* out) {
        std::wstring all;
        for (const auto& entry : fields->Entries())
            for (const auto& value : entry.values)
                all += (all.empty() ? L"" : L"&") + UrlEncode(Widen(entry.name)) + L"=" + UrlEncode(Widen(value.text));
        return ValueVariant({Narrow(all), nullptr}, out);
    }
};

HRESULT MakeDictionary(const std::shared_ptr<PageContext>& context, const Fields& fields, IRequestDictionary** out) {
    if (!out) return E_POINTER;
    ComPtr<IRequestDictionary> dictionary;
    const HRESULT hr = CreateComObject<Dictionary>(nullptr, __uuidof(IRequestDictionary), dictionary.put_void());
    if (FAILED(hr)) return hr;
    auto* object = static_cast<Dictionary*>(static_cast<AspDispatch<IRequestDictionary>*>(dictionary.get()));
    object->context = context;
    object->fields = &fields;
    *out = dictionary.detach();
    return S_OK;
}

// ----------------------------------------------------------------------------

class Request final : public rastelle::com::ComObject<Request, AspDispatch<IRequest>> {
public:
    std::shared_ptr<PageContext> context;

    // Request("name"): the first collection that has the name, as IIS
    // searches them.
    STDMETHODIMP get_Item(BSTR name, IDispatch** out) override {
        return Guarded([&]() -> HRESULT {
            if (!out) return E_POINTER;
            *out = nullptr;
            ComPtr<IStringList> list;
            HRESULT hr = CreateComObject<StringList>(nullptr, __uuidof(IStringList), list.put_void());
            if (FAILED(hr)) return hr;
            const std::string key = Narrow(name ? std::wstring_view(name, SysStringLen(name)) : std::wstring_view());
            for (const Fields* fields : {&context->queryString, &context->form, &context->cookies, &context->serverVariables}) {
                if (const Fields::Entry* entry = fields->Find(key)) {
                    static_cast<StringList*>(static_cast<AspDispatch<IStringList>*>(list.get()))->values = entry->values;
                    break;
                }
            }
            *out = list.detach();
            return S_OK;
        });
    }
    STDMETHODIMP get_QueryString(IRequestDictionary** out) override {
        return Guarded([&] { return MakeDictionary(context, context->queryString, out); });
    }
    STDMETHODIMP get_Form(IRequestDictionary** out) override {
        return Guarded([&] { return MakeDictionary(context, context->form, out); });
    }
    STDMETHODIMP get_Body(IRequestDictionary** out) override {
        return Guarded([&] { return MakeDictionary(context, context->form, out); });
    }
    STDMETHODIMP get_ServerVariables(IRequestDictionary** out) override {
        return Guarded([&] { return MakeDictionary(context, context->serverVariables, out); });
    }
    STDMETHODIMP get_ClientCertificate(IRequestDictionary** out) override {
        return Guarded([&] { return MakeDictionary(context, empty_, out); });
    }
    STDMETHODIMP get_Cookies(IRequestDictionary** out) override {
        return Guarded([&] { return MakeDictionary(context, context->cookies, out); });
    }
    STDMETHODIMP get_TotalBytes(LONG* total) override {
        if (!total) return E_POINTER;
        *total = static_cast<LONG>(context->request.body.size());
        return S_OK;
    }
    // The next count bytes of the body (fewer at its end), as a byte array;
    // count is set to the number read.
    STDMETHODIMP BinaryRead(VARIANT* count, VARIANT* out) override {
        return Guarded([&]() -> HRESULT {
            if (!count || !out) return E_POINTER;
            VariantInit(out);
            UniqueVariant number;
            if (FAILED(VariantChangeType(number.get(), count, 0, VT_I4)) || number->lVal < 0)
                return Fail(E_INVALIDARG, L"Request object", L"BinaryRead needs a count of bytes.");
            const std::string& body = context->request.body;
            const size_t n = std::min(static_cast<size_t>(number->lVal), body.size() - context->bodyReadPosition);
            SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(n));
            if (!array) return E_OUTOFMEMORY;
            memcpy(array->pvData, body.data() + context->bodyReadPosition, n);
            context->bodyReadPosition += n;
            VariantClear(count);
            count->vt = VT_I4;
            count->lVal = static_cast<LONG>(n);
            out->vt = VT_ARRAY | VT_UI1;
            out->parray = array;
            return S_OK;
        });
    }

private:
    Fields empty_;
};

// ----------------------------------------------------------------------------

class Response final : public rastelle::com::ComObject<Response, AspDispatch<IResponse>> {
public:
    std::shared_ptr<PageContext> context;

    STDMETHODIMP get_Buffer(VARIANT_BOOL* on) override {
        if (!on) return E_POINTER;
        *on = state().buffer ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP put_Buffer(VARIANT_BOOL on) override {
        return Guarded([&]() -> HRESULT {
            const bool buffer = on != VARIANT_FALSE;
            if (state().HeadersSent() && buffer != state().buffer)
                return Fail(E_FAIL, L"Response object", L"The buffer cannot be changed after the response has been sent.");
            state().buffer = buffer;
            return S_OK;
        });
    }
    STDMETHODIMP get_ContentType(BSTR* type) override {
        return Guarded([&] { return ReturnString(Widen(state().contentType), type); });
    }
    STDMETHODIMP put_ContentType(BSTR type) override {
        return Guarded([&] { return SetHeaderField(state().contentType, type); });
    }
    STDMETHODIMP get_Expires(VARIANT*) override { return E_NOTIMPL; }
    // Minutes from now; the header carries the date.
    STDMETHODIMP put_Expires(LONG minutes) override {
        return Guarded([&]() -> HRESULT {
            FILETIME now;
            GetSystemTimeAsFileTime(&now);
            ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
            ticks.QuadPart += static_cast<ULONGLONG>(static_cast<LONGLONG>(minutes) * 60 * 10000000LL);
            const FILETIME then{ticks.LowPart, ticks.HighPart};
            SYSTEMTIME time;
            if (!FileTimeToSystemTime(&then, &time)) return E_INVALIDARG;
            return SetExpires(time);
        });
    }
    STDMETHODIMP get_ExpiresAbsolute(VARIANT*) override { return E_NOTIMPL; }
    // A script date, taken as UTC.
    STDMETHODIMP put_ExpiresAbsolute(DATE date) override {
        return Guarded([&]() -> HRESULT {
            SYSTEMTIME time;
            if (!VariantTimeToSystemTime(date, &time)) return E_INVALIDARG;
            return SetExpires(time);
        });
    }
    STDMETHODIMP get_Cookies(IRequestDictionary**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Status(BSTR* status) override {
        return Guarded([&] { return ReturnString(Widen(state().status), status); });
    }
    // "404 Not Found": a three-digit code, then the reason.
    STDMETHODIMP put_Status(BSTR status) override {
        return Guarded([&]() -> HRESULT {
            const std::string text = Narrow(status ? std::wstring_view(status, SysStringLen(status)) : std::wstring_view());
            int code = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), code);
            if (ec != std::errc() || end - text.data() != 3 || code < 100 || (end != text.data() + text.size() && *end != ' '))
                return Fail(E_INVALIDARG, L"Response object", L"The status must be a three-digit code and a reason.");
            return SetHeaderField(state().status, status);
        });
    }
    STDMETHODIMP Add(BSTR value, BSTR name) override { return Guarded([&] { return AddHeader(name, value); }); }
    STDMETHODIMP AddHeader(BSTR name, BSTR value) override {
        return Guarded([&]() -> HRESULT {
            if (state().HeadersSent()) return Fail(E_FAIL, L"Response object", L"The HTTP headers are already written.");
            const std::string n = Narrow(name ? name : L""), v = Narrow(value ? value : L"");
            if (n.empty() || n.find_first_of(":\r\n") != std::string::npos || v.find_first_of("\r\n") != std::string::npos)
                return Fail(E_INVALIDARG, L"Response object", L"A header name or value is not valid.");
            AddHeaderText(n, v);
            return S_OK;
        });
    }
    STDMETHODIMP AppendToLog(BSTR) override { return S_OK; }
    // Only a byte array (VT_ARRAY | VT_UI1) is written, as IIS does.
    STDMETHODIMP BinaryWrite(VARIANT input) override {
        return Guarded([&]() -> HRESULT {
            const VARIANT* v = &input;
            while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
            SAFEARRAY* array = v->vt == (VT_ARRAY | VT_UI1) ? v->parray
                               : v->vt == (VT_BYREF | VT_ARRAY | VT_UI1) ? *v->pparray : nullptr;
            if (!array) return Fail(E_INVALIDARG, L"Response object", L"BinaryWrite takes an array of bytes.");
            size_t count = 1;
            for (UINT d = 0; d < SafeArrayGetDim(array); ++d) count *= array->rgsabound[d].cElements;
            if (SafeArrayGetDim(array) == 0) count = 0;
            void* data = nullptr;
            if (FAILED(SafeArrayAccessData(array, &data))) return E_INVALIDARG;
            const bool kept = state().Write(std::string_view(static_cast<const char*>(data), count));
            SafeArrayUnaccessData(array);
            return kept ? S_OK : BufferFull();
        });
    }
    STDMETHODIMP Clear() override {
        return Guarded([&]() -> HRESULT {
            if (!state().buffer) return Fail(E_FAIL, L"Response object", L"Clear needs Response.Buffer = True.");
            state().Clear();
            return S_OK;
        });
    }
    STDMETHODIMP End() override {
        state().ended = true;
        return kResponseEnded;
    }
    STDMETHODIMP Flush() override {
        return Guarded([&]() -> HRESULT {
            if (!state().ended) state().Flush();
            return S_OK;
        });
    }
    STDMETHODIMP Redirect(BSTR url) override {
        return Guarded([&]() -> HRESULT {
            if (state().HeadersSent()) return Fail(E_FAIL, L"Response object", L"The HTTP headers are already written.");
            const std::string location = Narrow(url ? url : L"");
            if (location.find_first_of("\r\n") != std::string::npos)
                return Fail(E_INVALIDARG, L"Response object", L"The address is not valid.");
            state().status = "302 Object moved";
            AddHeaderText("Location", location);
            state().Clear();
            state().Write("<head><title>Object moved</title></head><body><h1>Object Moved</h1>This object may be found <a href=\"" +
                          HtmlEncode(location) + "\">here</a>.</body>\r\n");
            return End();
        });
    }
    STDMETHODIMP Write(VARIANT text) override {
        return Guarded([&]() -> HRESULT {
            std::wstring value;
            const HRESULT hr = VariantText(text, value);
            if (FAILED(hr)) return hr;
            return state().Write(Narrow(value)) ? S_OK : BufferFull();
        });
    }
    STDMETHODIMP WriteBlock(short) override { return E_NOTIMPL; }
    STDMETHODIMP IsClientConnected(VARIANT_BOOL* connected) override {
        if (!connected) return E_POINTER;
        *connected = state().ClientGone() ? VARIANT_FALSE : VARIANT_TRUE;
        return S_OK;
    }
    STDMETHODIMP get_CharSet(BSTR* charset) override {
        return Guarded([&] { return ReturnString(Widen(state().charset), charset); });
    }
    STDMETHODIMP put_CharSet(BSTR charset) override {
        return Guarded([&] { return SetHeaderField(state().charset, charset); });
    }
    STDMETHODIMP Pics(BSTR value) override {
        return Guarded([&] { return AddHeader(const_cast<BSTR>(L"PICS-Label"), value); });
    }
    STDMETHODIMP get_CacheControl(BSTR* value) override {
        return Guarded([&] { return ReturnString(Widen(state().cacheControl), value); });
    }
    STDMETHODIMP put_CacheControl(BSTR value) override {
        return Guarded([&] { return SetHeaderField(state().cacheControl, value); });
    }

private:
    ResponseState& state() { return context->response; }

    static HRESULT BufferFull() {
        return Fail(E_OUTOFMEMORY, L"Response object",
                    L"ASP 0251 : 80004005 The response is over the buffer limit of " +
                        std::to_wstring(ResponseState::kMaxBufferedBytes >> 20) + L" MB.");
    }

    void AddHeaderText(const std::string& name, const std::string& value) { state().headers.emplace_back(name, value); }

    // Expires as an HTTP date; a later setting replaces an earlier one.
    HRESULT SetExpires(const SYSTEMTIME& time) {
        if (state().HeadersSent()) return Fail(E_FAIL, L"Response object", L"The HTTP headers are already written.");
        static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        char text[64];
        wsprintfA(text, "%s, %02u %s %04u %02u:%02u:%02u GMT", kDays[time.wDayOfWeek % 7], time.wDay,
                  kMonths[(time.wMonth + 11) % 12], time.wYear, time.wHour, time.wMinute, time.wSecond);
        auto& headers = state().headers;
        std::erase_if(headers, [](const auto& header) { return EqualsIgnoreCase(header.first, "Expires"); });
        AddHeaderText("Expires", text);
        return S_OK;
    }

    HRESULT SetHeaderField(std::string& field, BSTR value) {
        if (state().HeadersSent()) return Fail(E_FAIL, L"Response object", L"The HTTP headers are already written.");
        const std::string text = Narrow(value ? std::wstring_view(value, SysStringLen(value)) : std::wstring_view());
        if (text.find_first_of("\r\n") != std::string::npos)
            return Fail(E_INVALIDARG, L"Response object", L"A header value cannot hold a line break.");
        field = text;
        return S_OK;
    }
};

// ----------------------------------------------------------------------------

class Server final : public rastelle::com::ComObject<Server, AspDispatch<IServer>> {
public:
    std::shared_ptr<PageContext> context;

    STDMETHODIMP get_ScriptTimeout(LONG* seconds) override {
        if (!seconds) return E_POINTER;
        *seconds = context->scriptTimeoutSeconds;
        return S_OK;
    }
    STDMETHODIMP put_ScriptTimeout(LONG seconds) override {
        return Guarded([&]() -> HRESULT {
            if (seconds <= 0) return Fail(E_INVALIDARG, L"Server object", L"ScriptTimeout must be a positive number of seconds.");
            context->scriptTimeoutSeconds = seconds;
            return S_OK;
        });
    }
    // In-process servers only: a page's objects live on the request's thread.
    STDMETHODIMP CreateObject(BSTR progId, IDispatch** out) override {
        return Guarded([&]() -> HRESULT {
            if (!out) return E_POINTER;
            *out = nullptr;
            CLSID clsid;
            HRESULT hr = progId ? CLSIDFromProgID(progId, &clsid) : E_INVALIDARG;
            if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(out));
            if (FAILED(hr)) {
                wchar_t code[16];
                wsprintfW(code, L"%08lx", static_cast<unsigned long>(hr));
                return Fail(hr, L"Server object", L"ASP 0177 : " + std::wstring(code) + L" Server.CreateObject Failed");
            }
            return S_OK;
        });
    }
    STDMETHODIMP HTMLEncode(BSTR text, BSTR* out) override {
        return Guarded([&] { return ReturnString(HtmlEncode(View(text)), out); });
    }
    STDMETHODIMP URLEncode(BSTR text, BSTR* out) override {
        return Guarded([&] { return ReturnString(UrlEncode(View(text)), out); });
    }
    STDMETHODIMP URLPathEncode(BSTR text, BSTR* out) override {
        return Guarded([&] { return ReturnString(UrlPathEncode(View(text)), out); });
    }
    // A virtual path ("/images/a.jpg", or relative to the page) to a file
    // path inside the site; a path that leaves the site fails.
    STDMETHODIMP MapPath(BSTR path, BSTR* out) override {
        return Guarded([&]() -> HRESULT {
            if (!out) return E_POINTER;
            *out = nullptr;
            std::wstring joined;
            std::wstring virtualPath(View(path));
            // A NUL would end the path early for the file system: "a.asp\0.jpg"
            // is not a picture.
            if (virtualPath.find(L'\0') != std::wstring::npos)
                return Fail(E_INVALIDARG, L"Server object",
                            L"ASP 0175 : 80004005 The Path parameter for the MapPath method holds a NUL character.");
            for (wchar_t& c : virtualPath)
                if (c == L'/') c = L'\\';
            if (!virtualPath.empty() && virtualPath[0] == L'\\') {
                joined = context->siteRoot + virtualPath;
            } else {
                const size_t slash = context->physicalPath.rfind(L'\\');
                joined = context->physicalPath.substr(0, slash + 1) + virtualPath;
            }
            wchar_t full[MAX_PATH * 2];
            const DWORD n = GetFullPathNameW(joined.c_str(), MAX_PATH * 2, full, nullptr);
            std::wstring result(full, n < MAX_PATH * 2 ? n : 0);
            while (result.size() > 3 && result.back() == L'\\') result.pop_back();
            const std::wstring& root = context->siteRoot;
            const bool inside = result.size() >= root.size() && EqualsIgnoreCase(std::wstring_view(result).substr(0, root.size()), root) &&
                                (result.size() == root.size() || result[root.size()] == L'\\');
            if (!inside)
                return Fail(E_INVALIDARG, L"Server object",
                            L"ASP 0175 : 80004005 The Path parameter for the MapPath method must be inside the site.");
            return ReturnString(result, out);
        });
    }
    STDMETHODIMP Execute(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP Transfer(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP GetLastError(IASPError**) override { return E_NOTIMPL; }

private:
    static std::wstring_view View(BSTR text) { return text ? std::wstring_view(text, SysStringLen(text)) : std::wstring_view(); }
};

template <class T, class Itf>
HRESULT MakeIntrinsic(const std::shared_ptr<PageContext>& context, IUnknown** out) {
    ComPtr<Itf> object;
    const HRESULT hr = CreateComObject<T>(nullptr, __uuidof(Itf), object.put_void());
    if (FAILED(hr)) return hr;
    static_cast<T*>(static_cast<AspDispatch<Itf>*>(object.get()))->context = context;
    return object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out));
}

}  // namespace

Intrinsics::~Intrinsics() {
    for (IUnknown* object : {response, request, server})
        if (object) object->Release();
}

bool CreateIntrinsics(const std::shared_ptr<PageContext>& context, Intrinsics& out) {
    HRESULT hr = MakeIntrinsic<Response, IResponse>(context, &out.response);
    if (SUCCEEDED(hr)) hr = MakeIntrinsic<Request, IRequest>(context, &out.request);
    if (SUCCEEDED(hr)) hr = MakeIntrinsic<Server, IServer>(context, &out.server);
    return SUCCEEDED(hr);
}

}  // namespace devhost
