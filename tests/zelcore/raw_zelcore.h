#pragma once

#include <stdexcept>
#include <string>

#include <dlfcn.h>

#include "app_home.h"
#include "zelcore.h"
#include "zelcore_library.h"

namespace zelcore_test {

/// The C entry points themselves, for the result codes that core::Zelcore turns into text.
struct RawZelcore {
    decltype(&::file_crc32) file_crc32;
    decltype(&::zelcore_crc32_range) crc32_range;
    decltype(&::smd2bin) smd2bin;
    decltype(&::rename_inside_zip) rename_inside_zip;

    static const RawZelcore& get() {
        static const RawZelcore raw = [] {
            const auto path = core::executable_folder() / core::Zelcore::kLibraryName;
            void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle == nullptr)
                throw std::runtime_error(dlerror());
            return RawZelcore{
                symbol<decltype(&::file_crc32)>(handle, "file_crc32"),
                symbol<decltype(&::zelcore_crc32_range)>(handle, "zelcore_crc32_range"),
                symbol<decltype(&::smd2bin)>(handle, "smd2bin"),
                symbol<decltype(&::rename_inside_zip)>(handle, "rename_inside_zip")};
        }();
        return raw;
    }

    template <class Fn> static Fn symbol(void* handle, const char* name) {
        void* address = dlsym(handle, name);
        if (address == nullptr)
            throw std::runtime_error(std::string("no entry point ") + name);
        return reinterpret_cast<Fn>(address);
    }
};

inline const RawZelcore& raw() {
    return RawZelcore::get();
}

} // namespace zelcore_test
