// The intrinsic objects a page sees as Response, Request and Server.
#pragma once

#include "page_context.h"

#include <unknwn.h>

#include <memory>

namespace devhost {

struct Intrinsics {
    IUnknown* response = nullptr;
    IUnknown* request = nullptr;
    IUnknown* server = nullptr;

    Intrinsics() = default;
    Intrinsics(const Intrinsics&) = delete;
    Intrinsics& operator=(const Intrinsics&) = delete;
    ~Intrinsics();
};

// Makes the three objects of one request; false when out of memory.
bool CreateIntrinsics(const std::shared_ptr<PageContext>& context, Intrinsics& out);

// The failure a method returns for Response.End and Redirect: it stops the
// script, and the page's error handler knows it for what it is.
inline constexpr HRESULT kResponseEnded = static_cast<HRESULT>(0x80004004);  // E_ABORT

}  // namespace devhost
