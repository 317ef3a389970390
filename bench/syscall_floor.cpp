// syscall_floor DIR: the least a rename run over DIR's files must ask of the kernel, on one
// thread and with no bookkeeping: list the folder, open, stat, read and close each file,
// then rename three in five of them in place. Prints the time per file of each part, so
// that the growth of a rename run from one folder size to another can be set against the
// growth of the kernel's own work. Renames the files back before it ends.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<std::string> list(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    while (const dirent* e = dir ? ::readdir(dir) : nullptr)
        if (e->d_type == DT_REG)
            names.push_back(folder + "/" + e->d_name);
    if (dir)
        ::closedir(dir);
    return names;
}

long read_all(const std::vector<std::string>& files) {
    static std::vector<char> buffer(512 * 1024);
    long bytes = 0;
    for (const auto& f : files) {
        int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC | O_NOATIME);
        struct stat st {};
        ::fstat(fd, &st);
        bytes += ::pread(fd, buffer.data(), buffer.size(), 0);
        ::close(fd);
    }
    return bytes;
}

void rename_some(const std::vector<std::string>& files, const char* from_suffix,
                 const char* to_suffix) {
    for (std::size_t i = 0; i < files.size(); ++i)
        if (i % 5 < 3)
            ::renameat2(AT_FDCWD, (files[i] + from_suffix).c_str(), AT_FDCWD,
                        (files[i] + to_suffix).c_str(), RENAME_NOREPLACE);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: syscall_floor DIR\n");
        return 2;
    }
    auto start = std::chrono::steady_clock::now();
    auto files = list(argv[1]);
    double listed = seconds_since(start);
    read_all(files); // into the page cache, as the rename run finds them
    start = std::chrono::steady_clock::now();
    read_all(files);
    double read = seconds_since(start);
    start = std::chrono::steady_clock::now();
    rename_some(files, "", ".x");
    double renamed = seconds_since(start);
    rename_some(files, ".x", "");
    const double n = static_cast<double>(files.size());
    std::printf("files %zu  list %.2f us  read %.2f us  rename %.2f us a file\n", files.size(),
                listed / n * 1e6, read / n * 1e6, renamed / (n * 0.6) * 1e6);
}
