// Runs a compiled page through the system's script engine, with Response,
// Request and Server as named items, and reports a script error as the
// detailed error page IIS shows on localhost.
#pragma once

#include "asp_compiler.h"
#include "page_context.h"

#include <activscp.h>

#include <memory>

namespace devhost {

inline constexpr const wchar_t* kTimeLimitText = L"The maximum amount of time for a script to execute was exceeded.";

// The page a worker thread is running, as the watchdog sees it. At the
// time limit the watchdog asks the engine to stop (InterruptScriptThread,
// which Wine's script engines ignore) and the page's objects fail the next
// call the script makes, which stops it. A script that calls them again
// after that failure is parked in ScriptMayContinue, where it holds no lock,
// and its thread is ended at once; one that never calls them has its thread
// ended after a grace period, as a last resort (a lock it held then stays
// held). The host then answers the request itself.
class RunningScript {
public:
    static constexpr ULONGLONG kGraceMs = 2000;

    // Worker side.
    void Start(IActiveScript* engine, PageContext* context, ULONGLONG started);
    // False when the watchdog has taken the request over: the caller must
    // then wait to be ended.
    bool Stop();
    bool TimedOut() const { return interrupted_ != 0; }
    // On each call from the script into the page's objects: see
    // ScriptMayContinue.
    bool MayContinue();

    // Watchdog side: interrupts at the limit; true when the grace period has
    // passed too and the request now belongs to the watchdog.
    bool Check(ULONGLONG now);
    PageContext* Context() const { return context_; }
    // After the worker thread has been ended: a fresh slot.
    void Reset();

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
    volatile LONG state_ = 0;  // 0 idle, 1 running, 2 taken over
    IActiveScript* engine_ = nullptr;
    PageContext* context_ = nullptr;
    ULONGLONG started_ = 0;
    ULONGLONG interrupted_ = 0;
    volatile LONG pastLimit_ = 0;
    volatile LONG lateCalls_ = 0;
    volatile LONG parked_ = 0;
};

// For the page's objects, on each call from the script of this thread:
// false once the page is past its time limit, for the call to fail and so
// stop the script. A later call does not return: the thread waits there for
// the watchdog to end it.
bool ScriptMayContinue();

// Answers a request whose script was stopped at its time limit.
void AnswerTimedOut(PageContext& context, const std::wstring& pageUrl);

// Runs the page and finishes the response (the error page on failure). The
// time limit counts from started (GetTickCount64).
void RunPage(const CompiledPage& page, const std::shared_ptr<PageContext>& context, RunningScript& running,
             const std::wstring& pageUrl, ULONGLONG started);

}  // namespace devhost
