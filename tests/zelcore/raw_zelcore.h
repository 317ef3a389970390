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
};

inline const RawZelcore& raw() {
    static const RawZelcore raw = [] {
        const auto path = core::executable_folder() / core::Zelcore::kLibraryName;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            throw std::runtime_error(dlerror());
        const auto symbol = [handle](const char* name) {
            if (void* address = dlsym(handle, name))
                return address;
            throw std::runtime_error(std::string("no entry point ") + name);
        };
        return RawZelcore{
            reinterpret_cast<decltype(&::file_crc32)>(symbol("file_crc32")),
            reinterpret_cast<decltype(&::zelcore_crc32_range)>(symbol("zelcore_crc32_range")),
            reinterpret_cast<decltype(&::smd2bin)>(symbol("smd2bin")),
            reinterpret_cast<decltype(&::rename_inside_zip)>(symbol("rename_inside_zip"))};
    }();
    return raw;
}

} // namespace zelcore_test
