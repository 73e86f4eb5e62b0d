#include "page_runner.h"

#include "asp_interfaces.h"
#include "com/automation.h"
#include "com/com_ptr.h"
#include "intrinsics.h"
#include "text.h"

#include <string>

namespace devhost {

using rastelle::com::ComPtr;

// The page this worker thread is running a script of, if any.
static thread_local RunningScript* t_running = nullptr;

void RunningScript::Start(IActiveScript* engine, PageContext* context, ULONGLONG started) {
    AcquireSRWLockExclusive(&lock_);
    engine_ = engine;
    context_ = context;
    started_ = started;
    interrupted_ = 0;
    pastLimit_ = 0;
    lateCalls_ = 0;
    parked_ = 0;
    InterlockedExchange(&state_, 1);
    ReleaseSRWLockExclusive(&lock_);
}

bool RunningScript::Stop() {
    AcquireSRWLockExclusive(&lock_);
    const bool mine = InterlockedCompareExchange(&state_, 0, 1) == 1;
    if (mine) engine_ = nullptr;
    ReleaseSRWLockExclusive(&lock_);
    return mine;
}

bool RunningScript::Check(ULONGLONG now) {
    if (state_ != 1) return false;
    AcquireSRWLockExclusive(&lock_);
    bool takeOver = false;
    if (state_ == 1 && !interrupted_ &&
        now - started_ > static_cast<ULONGLONG>(context_->scriptTimeoutSeconds.load()) * 1000) {
        interrupted_ = now;
        InterlockedExchange(&pastLimit_, 1);
        EXCEPINFO info{};
        info.bstrSource = SysAllocString(L"Active Server Pages");
        info.bstrDescription = SysAllocString(kTimeLimitText);
        info.scode = static_cast<SCODE>(0x80004005);
        engine_->InterruptScriptThread(SCRIPTTHREADID_BASE, &info, 0);
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
    } else if (state_ == 1 && interrupted_ && (parked_ || now - interrupted_ > kGraceMs)) {
        takeOver = InterlockedCompareExchange(&state_, 2, 1) == 1;
    }
    ReleaseSRWLockExclusive(&lock_);
    return takeOver;
}

bool RunningScript::MayContinue() {
    if (!pastLimit_) return true;
    if (InterlockedIncrement(&lateCalls_) == 1) return false;
    InterlockedExchange(&parked_, 1);
    Sleep(INFINITE);
    return false;
}

void RunningScript::Reset() {
    lock_ = SRWLOCK_INIT;
    engine_ = nullptr;
    context_ = nullptr;
    interrupted_ = 0;
    pastLimit_ = 0;
    lateCalls_ = 0;
    parked_ = 0;
    state_ = 0;
}

bool ScriptMayContinue() { return !t_running || t_running->MayContinue(); }

namespace {

std::wstring SystemMessage(HRESULT code);

// Wine's VBScript cannot call a named item's default member with arguments
// (Request("name")), but can a variable's: VBScript pages get Request as a
// variable set from a named item of this name (see CompilePage).
constexpr const wchar_t* kRequestItem = L"RastelleDevHostRequest";

struct ScriptFailure {
    bool happened = false;
    std::wstring source, description, lineText;
    int line = 0, column = 0;
    HRESULT code = S_OK;
};

// The engine's host: hands out the intrinsic objects by name and records
// the first error.
class ScriptSite final : public IActiveScriptSite {
public:
    ScriptSite(const Intrinsics& objects, const CompiledPage& page, const PageContext& context)
        : objects_(objects), page_(page), context_(context), language_(page.language) {}

    ScriptFailure failure;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IActiveScriptSite))) {
            *out = static_cast<IActiveScriptSite*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The site lives on the stack of RunPage, which outlives the engine.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP GetLCID(LCID* lcid) override {
        if (!lcid) return E_POINTER;
        *lcid = 0x409;
        return S_OK;
    }
    STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override {
        if (item) *item = nullptr;
        if (info) *info = nullptr;
        IUnknown* object = nullptr;
        if (name && EqualsIgnoreCase(std::wstring_view(name), L"Response")) object = objects_.response;
        else if (name && (EqualsIgnoreCase(std::wstring_view(name), L"Request") ||
                          EqualsIgnoreCase(std::wstring_view(name), kRequestItem)))
            object = objects_.request;
        else if (name && EqualsIgnoreCase(std::wstring_view(name), L"Server")) object = objects_.server;
        if (!object) return TYPE_E_ELEMENTNOTFOUND;
        if ((mask & SCRIPTINFO_IUNKNOWN) && item) {
            *item = object;
            object->AddRef();
        }
        if ((mask & SCRIPTINFO_ITYPEINFO) && info) {
            ComPtr<IDispatch> dispatch;
            if (SUCCEEDED(object->QueryInterface(IID_IDispatch, dispatch.put_void()))) dispatch->GetTypeInfo(0, 0, info);
        }
        return S_OK;
    }
    STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
    STDMETHODIMP OnScriptError(IActiveScriptError* error) override {
        if (!error || failure.happened || context_.response.ended) return S_OK;
        failure.happened = true;
        EXCEPINFO info{};
        if (SUCCEEDED(error->GetExceptionInfo(&info))) {
            if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
            if (info.bstrSource) failure.source = info.bstrSource;
            if (failure.source.empty()) failure.source = language_ + L" runtime error";
            if (info.bstrDescription) failure.description = info.bstrDescription;
            failure.code = info.scode ? info.scode : static_cast<HRESULT>(info.wCode);
            if (failure.description.empty()) failure.description = SystemMessage(failure.code);
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrHelpFile);
        }
        DWORD cookie = 0;
        ULONG line = 0;
        LONG column = 0;
        if (SUCCEEDED(error->GetSourcePosition(&cookie, &line, &column))) {
            failure.line = page_.PageLineOf(line);
            failure.column = static_cast<int>(column);
        }
        return S_OK;
    }
    STDMETHODIMP OnEnterScript() override { return S_OK; }
    STDMETHODIMP OnLeaveScript() override { return S_OK; }

private:
    const Intrinsics& objects_;
    const CompiledPage& page_;
    const PageContext& context_;
    std::wstring language_;
};

// A description for the common codes whose text Wine's engines leave
// empty, else a general one.
std::wstring SystemMessage(HRESULT code) {
    static const struct {
        HRESULT code;
        const wchar_t* text;
    } kMessages[] = {
        {DISP_E_DIVBYZERO, L"Division by zero"}, {DISP_E_OVERFLOW, L"Overflow"},
        {DISP_E_TYPEMISMATCH, L"Type mismatch"},  {DISP_E_BADINDEX, L"Subscript out of range"},
        {static_cast<HRESULT>(0x800A000B), L"Division by zero"}, {static_cast<HRESULT>(0x800A000D), L"Type mismatch"},
        {static_cast<HRESULT>(0x800A0006), L"Overflow"}, {static_cast<HRESULT>(0x800A0009), L"Subscript out of range"},
        {static_cast<HRESULT>(0x800A01F4), L"Variable is undefined"},
    };
    for (const auto& entry : kMessages)
        if (entry.code == code) return entry.text;
    return L"The page's script could not be compiled or run.";
}

// The text of line `line` (1-based) of the page file.
std::wstring PageLineText(const std::wstring& path, int line) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes(64 * 1024, '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    size_t start = 0;
    for (int i = 1; i < line && start != std::string::npos; ++i) {
        start = bytes.find('\n', start);
        if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos || line < 1) return {};
    size_t end = bytes.find('\n', start);
    std::string text = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return Widen(text);
}

void SendErrorPage(PageContext& context, const ScriptFailure& failure, const std::wstring& pageUrl) {
    ResponseState& response = context.response;
    wchar_t code[16];
    wsprintfW(code, L"%08lx", static_cast<unsigned long>(failure.code));
    std::wstring html = L"<!DOCTYPE html>\r\n<html><head><title>500 - Script error</title></head><body>\r\n"
                        L"<h1>Script error</h1>\r\n<p class=\"source\">" + HtmlEncode(failure.source) + L" '" + code +
                        L"'</p>\r\n<p class=\"description\">" + HtmlEncode(failure.description) + L"</p>\r\n";
    html += L"<p class=\"location\">" + HtmlEncode(pageUrl);
    if (failure.line > 0) html += L", line " + std::to_wstring(failure.line);
    html += L"</p>\r\n";
    if (!failure.lineText.empty()) html += L"<pre class=\"line\">" + HtmlEncode(failure.lineText) + L"</pre>\r\n";
    html += L"</body></html>\r\n";
    if (response.HeadersSent()) {
        // The status has gone already: append the report to what was sent.
        response.ended = false;
        if (!response.Write(Narrow(html))) {
            response.Flush();
            response.Write(Narrow(html));
        }
    } else {
        response.Clear();
        response.headers.clear();
        response.status = "500 Internal Server Error";
        response.contentType = "text/html";
        response.charset = "utf-8";
        response.ended = false;
        response.Write(Narrow(html));
    }
    response.ended = true;
}

}  // namespace

void RunPage(const CompiledPage& page, const std::shared_ptr<PageContext>& context, RunningScript& running,
             const std::wstring& pageUrl, ULONGLONG started) {
    ScriptFailure compileFailure;
    if (!page.error.empty()) {
        compileFailure = {true, L"Active Server Pages", page.error, L"", 0, 0, static_cast<HRESULT>(0x80004005)};
        SendErrorPage(*context, compileFailure, pageUrl);
        context->response.Finish();
        return;
    }

    if (GetTickCount64() - started > static_cast<ULONGLONG>(context->scriptTimeoutSeconds.load()) * 1000) {
        AnswerTimedOut(*context, pageUrl);
        return;
    }
    Intrinsics objects;
    if (!CreateIntrinsics(context, objects)) {
        SendErrorPage(*context, {true, L"Active Server Pages", L"Out of memory.", L"", 0, 0, E_OUTOFMEMORY}, pageUrl);
        context->response.Finish();
        return;
    }
    ScriptSite site(objects, page, *context);
    HRESULT hr;
    {
        CLSID clsid;
        ComPtr<IActiveScript> engine;
        ComPtr<IActiveScriptParse> parser;
        hr = CLSIDFromProgID(page.language.c_str(), &clsid);
        if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IActiveScript), engine.put_void());
        if (SUCCEEDED(hr)) hr = engine.As(parser);
        if (SUCCEEDED(hr)) hr = engine->SetScriptSite(&site);
        if (SUCCEEDED(hr)) hr = parser->InitNew();
        for (const wchar_t* name : {L"Response", page.requestVariable ? kRequestItem : L"Request", L"Server"})
            if (SUCCEEDED(hr)) hr = engine->AddNamedItem(name, SCRIPTITEM_ISVISIBLE);
        if (FAILED(hr) && !site.failure.happened) {
            site.failure = {true, L"Active Server Pages", L"The script engine for " + page.language + L" could not be started.",
                            L"", 0, 0, hr};
        }
        if (SUCCEEDED(hr)) {
            running.Start(engine.get(), context.get(), started);
            t_running = &running;
            EXCEPINFO info{};
            hr = parser->ParseScriptText(page.program.c_str(), nullptr, nullptr, nullptr, 0, 0, SCRIPTTEXT_ISVISIBLE,
                                         nullptr, &info);
            if (SUCCEEDED(hr)) hr = engine->SetScriptState(SCRIPTSTATE_CONNECTED);
            // Taken over at the time limit: the watchdog answers and ends
            // this thread.
            t_running = nullptr;
            if (!running.Stop()) Sleep(INFINITE);
            SysFreeString(info.bstrSource);
            SysFreeString(info.bstrDescription);
            SysFreeString(info.bstrHelpFile);
        }
        if (engine) engine->Close();
    }
    if (running.TimedOut() && !context->response.ended) {
        site.failure = {true, L"Active Server Pages", kTimeLimitText, L"", 0, 0, static_cast<HRESULT>(0x80004005)};
    }
    if (site.failure.happened) {
        site.failure.lineText = PageLineText(context->physicalPath, site.failure.line);
        SendErrorPage(*context, site.failure, pageUrl);
    }
    context->response.Finish();
}

}  // namespace devhost

namespace devhost {

void AnswerTimedOut(PageContext& context, const std::wstring& pageUrl) {
    SendErrorPage(context, {true, L"Active Server Pages", kTimeLimitText, L"", 0, 0, static_cast<HRESULT>(0x80004005)}, pageUrl);
    context.response.Finish();
}

}  // namespace devhost
