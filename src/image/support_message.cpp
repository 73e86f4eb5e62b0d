#include "image/support_message.h"

#include "com/errors.h"

namespace rastelle {

std::wstring WithSupportAddress(std::wstring_view text) {
    std::wstring message(text);
    // The address is ASCII.
    for (const char* c = com::kSupportAddress; *c; ++c) message += static_cast<wchar_t>(*c);
    return message;
}

}  // namespace rastelle
