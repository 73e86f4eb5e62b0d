// Messages that end by asking the user to get in touch with the maker.
#pragma once

#include <string>
#include <string_view>

namespace rastelle {

// text followed by the support address.
std::wstring WithSupportAddress(std::wstring_view text);

}  // namespace rastelle
