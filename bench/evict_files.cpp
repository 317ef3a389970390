// Drops the files below the given folders from the page cache, so that the next read of each
// comes from the disk: evict_files DIR...
// Files written moments ago must be on the disk first (run `sync`): pages not yet written stay.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

void evict(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: evict_files DIR...\n");
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        for (std::filesystem::recursive_directory_iterator it(argv[i], ec), end; !ec && it != end;
             it.increment(ec))
            if (it->is_regular_file(ec))
                evict(it->path());
        if (ec) {
            std::fprintf(stderr, "evict_files: %s: %s\n", argv[i], ec.message().c_str());
            return 1;
        }
    }
    return 0;
}
