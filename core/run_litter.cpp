#include "run_litter.h"

#include <cctype>
#include <cerrno>
#include <fstream>
#include <map>
#include <set>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_move.h"
#include "posix_io.h"
#include "progress.h"
#include "text.h"
#include "trash.h"
#include "undo_journal_read.h"

namespace core {

using journal_read::Journal;
using journal_read::Kind;

namespace {

namespace fs = std::filesystem;

// Files a killed run was writing are at least as new as the run, to the second.
bool since(const struct timespec& when, std::time_t run_started) {
    return when.tv_sec + 1 >= run_started;
}

// The ZIP library writes an archive anew as "<archive's name>.XXXXXX" beside it (the X's
// letters or digits) and renames that over the archive.
bool zip_temp_of(std::string_view name, const std::set<std::string, std::less<>>& archives) {
    constexpr std::size_t kTail = 7; // ".XXXXXX"
    if (name.size() <= kTail || name[name.size() - kTail] != '.')
        return false;
    for (char c : name.substr(name.size() - kTail + 1))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return archives.contains(name.substr(0, name.size() - kTail));
}

using ArchivesByFolder = std::map<std::string, std::set<std::string, std::less<>>>;

// One look at each folder, however many of its archives the run renamed members of.
std::size_t remove_zip_temps(const ArchivesByFolder& archives, std::time_t run_started) {
    std::size_t removed = 0;
    for (const auto& [folder, names] : archives) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const std::string path = entry.path().string();
            struct stat st {};
            if (zip_temp_of(entry.path().filename().string(), names) &&
                ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
                st.st_uid == ::geteuid() && since(st.st_mtim, run_started) &&
                ::unlink(path.c_str()) == 0)
                ++removed;
        }
    }
    return removed;
}

// "Removed 2 trash entries whose ...", or nothing when there were none.
void log_count(Progress& progress, std::size_t n, const std::string& verb, const std::string& one,
               const std::string& many, const std::string& rest) {
    if (n)
        progress.log(verb + " " + std::to_string(n) + " " + (n == 1 ? one : many) + " " + rest +
                     "\r\n");
}

std::string q(const std::string& path) {
    return quoted(fs::path(path));
}

// The moves the run left alone (their targets were taken) are not the run's to finish.
void finish_moves(const Journal& journal, Progress& progress) {
    std::multiset<std::pair<std::string, std::string>> left;
    for (const auto& e : journal.entries)
        if (e.kind == Kind::Left)
            left.emplace(e.fields[0], e.fields[1]);
    std::size_t finished = 0;
    for (const auto& e : journal.entries) {
        if (e.kind != Kind::Move || left.contains({e.fields[0], e.fields[1]}))
            continue;
        const std::string &from = e.fields[0], &to = e.fields[1];
        const HalfMove half = half_move(from, to, journal.started());
        if (half == HalfMove::Differs) // a problem for the user, not a step
            progress.result(
                "Left both " + q(from) + " and " + q(to) +
                ": an earlier run was moving the one to the other, and they differ.\r\n");
        else if (half == HalfMove::Same && ::unlink(from.c_str()) == 0)
            ++finished;
    }
    log_count(progress, finished, "Finished", "move", "moves",
              "that an earlier run left with the copy in place and the original not yet removed.");
}

} // namespace

bool same_bytes(const fs::path& a, const fs::path& b) {
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> p(1 << 16), r(1 << 16);
    while (x && y) {
        x.read(p.data(), static_cast<std::streamsize>(p.size()));
        y.read(r.data(), static_cast<std::streamsize>(r.size()));
        if (x.gcount() != y.gcount() || !std::equal(p.begin(), p.begin() + x.gcount(), r.begin()))
            return false;
    }
    return x.eof() && y.eof();
}

// The verified copy keeps the original's size and modification time, but putting it in
// place changed its inode time: a target whose inode is older than the run was there
// before and is not the run's.
HalfMove half_move(const std::string& from, const std::string& to, std::time_t run_started) {
    struct stat a {
    }, b{};
    if (::lstat(from.c_str(), &a) != 0 || ::lstat(to.c_str(), &b) != 0 || !S_ISREG(a.st_mode) ||
        !S_ISREG(b.st_mode) || a.st_dev == b.st_dev || !since(b.st_ctim, run_started))
        return HalfMove::None;
    const bool copy = a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
                      a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && same_bytes(from, to);
    return copy ? HalfMove::Same : HalfMove::Differs;
}

void remove_part_files(const std::set<std::string>& folders, Progress& progress) {
    for (const auto& folder : folders)
        log_count(progress, remove_stale_parts(folder), "Removed", "part file", "part files",
                  "left by an earlier run in " + q(folder) + ".");
}

void clear_litter(const Journal& journal, Progress& progress) {
    std::size_t infos = 0;
    ArchivesByFolder archives;
    std::set<std::string> targets;
    for (const auto& e : journal.entries) {
        if (e.kind == Kind::Move || e.kind == Kind::Copy)
            targets.insert(fs::path(e.fields[1]).parent_path().string());
        if (e.kind == Kind::Trash || e.kind == Kind::Replace)
            infos += remove_unused_info(e.trashed());
        if (e.kind == Kind::Member) {
            const fs::path archive(e.fields[0]);
            archives[archive.parent_path().string()].insert(archive.filename().string());
        }
    }
    remove_part_files(targets, progress);
    log_count(progress, infos, "Removed", "trash entry", "trash entries",
              "whose file an earlier run never moved to the trash.");
    log_count(progress, remove_zip_temps(archives, journal.started()), "Removed", "temporary file",
              "temporary files", "that an earlier run left beside archives.");
}

bool run_going_on(const fs::path& journal_file) {
    zelcore::UniqueFd fd(::open(journal_file.c_str(), O_RDONLY | O_CLOEXEC));
    return fd && ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

void finish_killed_run(const fs::path& journal_file, Progress& progress) {
    zelcore::UniqueFd fd(::open(journal_file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd || ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0)
        return; // no journal, or its run is still going on
    std::string text;
    char buffer[1 << 16];
    for (ssize_t got; (got = ::read(fd.get(), buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    auto journal = journal_read::parse_journal(text, journal_file);
    if (!journal)
        return; // undo says what is wrong with it
    clear_litter(*journal, progress);
    finish_moves(*journal, progress);
}

} // namespace core
