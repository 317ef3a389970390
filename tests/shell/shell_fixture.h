#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "com_ptr.h"
#include "data_object.h"
#include "shell_api.h"
#include "shell_library.h"

namespace shelltest {

using namespace zelshell;

/// libzelshell.so from the build's program folder, loaded once for the test program.
inline const ShellLibrary& shell() {
    static const auto loaded = ShellLibrary::load_beside_executable();
    if (!loaded) {
        ADD_FAILURE() << loaded.error().message;
        std::abort();
    }
    return *loaded;
}

/// A new object of `clsid` as interface I; fails the test when the library refuses.
template <class I> ComPtr<I> create(const CLSID& clsid, const IID& iid) {
    ComPtr<I> object;
    const HRESULT hr = shell().create(clsid, iid, object.put());
    EXPECT_EQ(hr, S_OK) << hresult_text(hr);
    return object;
}

inline ComPtr<IDataObject> selection(std::vector<std::string> paths) {
    return make_file_drop_object(std::move(paths));
}

} // namespace shelltest
