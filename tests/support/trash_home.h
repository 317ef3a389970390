#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testsupport {

/// Points XDG_DATA_HOME at a folder of the test while it lives, so that nothing a test
/// sends to the trash lands in the real one.
class TrashHome {
public:
    explicit TrashHome(const std::filesystem::path& data) {
        if (const char* old = std::getenv("XDG_DATA_HOME")) {
            m_had = true;
            m_old = old;
        }
        ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    }
    ~TrashHome() {
        if (m_had)
            ::setenv("XDG_DATA_HOME", m_old.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    TrashHome(const TrashHome&) = delete;
    TrashHome& operator=(const TrashHome&) = delete;

private:
    bool m_had = false;
    std::string m_old;
};

} // namespace testsupport
