// What the fuzzing programs share: an owning interface pointer and the
// folder the program runs from.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace rastelle::fuzz {

template <class T>
struct Releaser {
    void operator()(T* p) const {
        if (p) p->Release();
    }
};
template <class T>
using Ref = std::unique_ptr<T, Releaser<T>>;

inline std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

}  // namespace rastelle::fuzz
