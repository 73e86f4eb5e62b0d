// Runs a compiled page through the system's script engine, with Response,
// Request and Server as named items, and reports a script error as the
// detailed error page IIS shows on localhost.
#pragma once

#include "asp_compiler.h"
#include "page_context.h"

#include <activscp.h>

#include <memory>

namespace devhost {

// The page a worker thread is running, as the watchdog sees it. At the
// time limit the watchdog asks the engine to stop (InterruptScriptThread);
// an engine that does not stop within a grace period (Wine's script engines
// ignore the request) has its thread ended by the host, which then answers
// the request itself.
class RunningScript {
public:
    static constexpr ULONGLONG kGraceMs = 2000;

    // Worker side.
    void Start(IActiveScript* engine, PageContext* context, ULONGLONG now);
    // False when the watchdog has taken the request over: the caller must
    // then wait to be ended.
    bool Stop();
    bool TimedOut() const { return interrupted_ != 0; }

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
};

// Answers a request whose script was stopped at its time limit.
void AnswerTimedOut(PageContext& context, const std::wstring& pageUrl);

// Runs the page and finishes the response (the error page on failure).
void RunPage(const CompiledPage& page, const std::shared_ptr<PageContext>& context, RunningScript& running,
             const std::wstring& pageUrl);

}  // namespace devhost
