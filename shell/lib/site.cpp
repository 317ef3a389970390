#include "site.h"

#include <cstdio>
#include <mutex>
#include <string>

#include <dlfcn.h>

namespace zelshell {
namespace {

struct SiteCopy {
    std::mutex mutex;
    ZelshellSite site{sizeof(ZelshellSite), nullptr, nullptr, nullptr, nullptr};
    std::string host_program;
    std::string launcher_folder;
};

SiteCopy& site_copy() {
    static SiteCopy s;
    return s;
}

} // namespace

ZelshellSite current_site() {
    auto& s = site_copy();
    const std::lock_guard lock(s.mutex);
    return s.site;
}

void set_site(const ZelshellSite* site) {
    auto& s = site_copy();
    const std::lock_guard lock(s.mutex);
    s.site = ZelshellSite{sizeof(ZelshellSite), nullptr, nullptr, nullptr, nullptr};
    s.host_program.clear();
    s.launcher_folder.clear();
    if (!site || site->size < sizeof(ZelshellSite))
        return;
    s.site.message_box = site->message_box;
    s.site.context = site->context;
    if (site->host_program) {
        s.host_program = site->host_program;
        s.site.host_program = s.host_program.c_str();
    }
    if (site->launcher_folder) {
        s.launcher_folder = site->launcher_folder;
        s.site.launcher_folder = s.launcher_folder.c_str();
    }
}

int MessageBoxA(HWND, const char* text, const char* caption, std::uint32_t type) {
    const ZelshellSite site = current_site();
    if (site.message_box)
        return site.message_box(site.context, text ? text : "", caption ? caption : "", type);
    std::fprintf(stderr, "%s\n", text ? text : "");
    return IDOK;
}

std::filesystem::path library_folder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&library_folder), &info) == 0 || !info.dli_fname)
        return {};
    std::error_code ec;
    auto path = std::filesystem::canonical(info.dli_fname, ec);
    return ec ? std::filesystem::path(info.dli_fname).parent_path() : path.parent_path();
}

} // namespace zelshell
