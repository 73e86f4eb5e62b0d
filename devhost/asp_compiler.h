// Turns an .asp page into one script program: literal text becomes
// Response.Write calls, <%= e %> writes e, <% code %> is copied. Each line of
// the program remembers the page line it came from, so that an error the
// engine reports is shown at its place in the page.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace devhost {

struct CompiledPage {
    std::wstring language = L"VBScript";  // from <%@ Language=... %>
    std::wstring program;
    std::vector<int> pageLine;  // program line (0-based) -> page line (1-based)
    std::wstring error;         // set when the page cannot be compiled
    bool requestVariable = false;  // the program sets Request from the host's item

    int PageLineOf(unsigned long programLine) const {
        return programLine < pageLine.size() ? pageLine[programLine] : 0;
    }
};

CompiledPage CompilePage(std::wstring_view page);

}  // namespace devhost
