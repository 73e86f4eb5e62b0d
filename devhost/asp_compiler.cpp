#include "asp_compiler.h"

#include "text.h"

namespace devhost {

namespace {

bool IsJScript(std::wstring_view language) {
    return EqualsIgnoreCase(language, L"JScript") || EqualsIgnoreCase(language, L"JavaScript");
}

// A literal as a string expression of the page's language.
std::wstring Quote(std::wstring_view text, bool jscript) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (jscript) {
            switch (c) {
                case L'"': out += L"\\\""; break;
                case L'\\': out += L"\\\\"; break;
                case L'\r': out += L"\\r"; break;
                case L'\n': out += L"\\n"; break;
                case L'\u2028': out += L"\\u2028"; break;
                case L'\u2029': out += L"\\u2029"; break;
                default: out.push_back(c);
            }
        } else if (c == L'"') {
            out += L"\"\"";
        } else if (c == L'\r' || c == L'\n') {
            out += c == L'\r' ? L"\" & vbCr & \"" : L"\" & vbLf & \"";
        } else {
            out.push_back(c);
        }
    }
    return out + L"\"";
}

// The value of Language in a directive such as ' Language="JScript" '.
std::wstring DirectiveLanguage(std::wstring_view directive) {
    std::wstring lower(directive);
    for (wchar_t& c : lower)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    const size_t at = lower.find(L"language");
    if (at == std::wstring::npos) return {};
    size_t pos = lower.find(L'=', at);
    if (pos == std::wstring::npos) return {};
    ++pos;
    while (pos < directive.size() && (directive[pos] == L' ' || directive[pos] == L'"')) ++pos;
    size_t end = pos;
    while (end < directive.size() && directive[end] != L'"' && directive[end] != L' ' && directive[end] != L'\t') ++end;
    return std::wstring(directive.substr(pos, end - pos));
}

class Emitter {
public:
    explicit Emitter(CompiledPage& page) : page_(page) {}

    // Appends text that starts on page line `line`, keeping its line breaks.
    void Code(std::wstring_view text, int line) {
        page_.pageLine.push_back(line);
        for (wchar_t c : text) {
            page_.program.push_back(c);
            if (c == L'\n') page_.pageLine.push_back(++line);
        }
        page_.program += L"\r\n";
    }

    // One Write per page line keeps program and page lines in step.
    void Literal(std::wstring_view text, int line, bool jscript) {
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(L'\n', start);
            end = end == std::wstring_view::npos ? text.size() : end + 1;
            Code(L"Response.Write(" + Quote(text.substr(start, end - start), jscript) + L")", line++);
            start = end;
        }
    }

private:
    CompiledPage& page_;
};

// Where "Option Explicit" starts when it is the block's first statement.
size_t FindOptionExplicit(const std::wstring& code) {
    const size_t start = code.find_first_not_of(L" \t\r\n");
    if (start == std::wstring::npos || code.size() - start < 15) return std::wstring::npos;
    if (!EqualsIgnoreCase(std::wstring_view(code).substr(start, 6), L"option")) return std::wstring::npos;
    const size_t word = code.find_first_not_of(L" \t", start + 6);
    if (word != start + 7 || !EqualsIgnoreCase(std::wstring_view(code).substr(word, 8), L"explicit")) return std::wstring::npos;
    return start;
}

int CountLines(std::wstring_view text) {
    int n = 0;
    for (wchar_t c : text)
        if (c == L'\n') ++n;
    return n;
}

}  // namespace

CompiledPage CompilePage(std::wstring_view page) {
    CompiledPage compiled;
    if (!page.empty() && page.front() == L'\uFEFF') page.remove_prefix(1);

    // The directive, if any, comes first and names the language.
    const size_t directive = page.find(L"<%@");
    if (directive != std::wstring_view::npos) {
        const size_t close = page.find(L"%>", directive);
        if (close != std::wstring_view::npos) {
            const std::wstring language = DirectiveLanguage(page.substr(directive + 3, close - directive - 3));
            if (!language.empty()) compiled.language = language;
        }
    }
    const bool jscript = IsJScript(compiled.language);

    Emitter emit(compiled);
    int optionExplicitLine = 0;
    int line = 1;
    size_t pos = 0;
    while (pos < page.size()) {
        const size_t open = page.find(L"<%", pos);
        const std::wstring_view literal = page.substr(pos, open == std::wstring_view::npos ? open : open - pos);
        if (!literal.empty()) emit.Literal(literal, line, jscript);
        line += CountLines(literal);
        if (open == std::wstring_view::npos) break;

        const size_t close = page.find(L"%>", open + 2);
        if (close == std::wstring_view::npos) {
            compiled.error = L"The script block that starts on line " + std::to_wstring(line) + L" has no closing %>.";
            return compiled;
        }
        std::wstring_view block = page.substr(open + 2, close - open - 2);
        if (!block.empty() && block.front() == L'@') {
            // The directive: nothing to run.
        } else if (!block.empty() && block.front() == L'=') {
            block.remove_prefix(1);
            std::wstring call = L"Response.Write(";
            call.append(block);
            // A line break before ')' would end a VBScript statement early.
            for (wchar_t& c : call)
                if (c == L'\r' || c == L'\n') c = L' ';
            emit.Code(call + L")", line);
        } else {
            // Option Explicit must be the program's first statement, but
            // the page's literal text comes before it: move it to the top.
            std::wstring code(block);
            const size_t at = jscript ? std::wstring::npos : FindOptionExplicit(code);
            if (at != std::wstring::npos) {
                code.replace(at, 15, 15, L' ');
                optionExplicitLine = line;
            }
            emit.Code(code, line);
        }
        line += CountLines(block);
        pos = close + 2;
    }
    if (!jscript) {
        // The host's named item for Request becomes a variable (see
        // page_runner.cpp); after Option Explicit, which must come first.
        compiled.program.insert(0, L"Dim Request : Set Request = RastelleDevHostRequest\r\n");
        compiled.pageLine.insert(compiled.pageLine.begin(), 0);
        compiled.requestVariable = true;
    }
    if (optionExplicitLine) {
        compiled.program.insert(0, L"Option Explicit\r\n");
        compiled.pageLine.insert(compiled.pageLine.begin(), optionExplicitLine);
    }
    return compiled;
}

}  // namespace devhost
