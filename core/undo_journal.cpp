#include "undo_journal.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app_home.h"
#include "file_move.h"
#include "progress.h"
#include "text.h"

namespace core {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFormatLine = "zelkon undo journal 1";

// Fields are separated by tabs and entries by line feeds; both may occur in Linux paths.
std::string escape(std::string_view field) {
    std::string out;
    for (char c : field) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool unescape(std::string_view field, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

std::string line(std::initializer_list<std::string_view> fields) {
    std::string out;
    for (auto f : fields) {
        if (!out.empty())
            out += '\t';
        out += escape(f);
    }
    return out + '\n';
}

Error write_error(const fs::path& file, int err) {
    return Error::failed("Could not write the undo journal " + quoted(file) + ": " +
                         std::strerror(err));
}

// Undo may run from another working folder, so the journal names every file in full.
int pair_lines(std::string_view kind, const std::vector<std::string>& from,
               const std::vector<std::string>& to, std::string& lines) {
    std::error_code ec;
    for (std::size_t i = 0; i < from.size() && i < to.size() && !ec; ++i) {
        const auto a = fs::absolute(from[i], ec), b = fs::absolute(to[i], ec);
        lines += line({kind, a.string(), b.string()});
    }
    return ec.value();
}

} // namespace

UndoJournal::UndoJournal(fs::path file, std::string description)
    : m_file(std::move(file)), m_description(std::move(description)) {}

// The previous run's journal stays until this run's first batch is written and synced
// beside it: the two take its place together, or not at all.
Status UndoJournal::start(const std::string& lines) {
    fs::path fresh = m_file;
    fresh += ".new";
    std::error_code ec;
    fs::create_directories(m_file.parent_path(), ec);
    zelcore::UniqueFd fd(
        ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600));
    if (!fd)
        return write_error(m_file, errno);
    std::string text = std::string(kFormatLine) + '\n' +
                       line({"run", m_description, local_time_text("%Y-%m-%d %H:%M:%S")}) + lines;
    int err = zelcore::write_all(fd.get(), text.data(), text.size());
    if (!err && (::fdatasync(fd.get()) != 0 || ::rename(fresh.c_str(), m_file.c_str()) != 0))
        err = errno;
    if (err) {
        ::unlink(fresh.c_str());
        return write_error(m_file, err);
    }
    sync_folder(m_file.parent_path());
    m_fd.reset(fd.release());
    return Status::success();
}

Status UndoJournal::append(const std::string& lines, bool sync) {
    if (lines.empty())
        return Status::success();
    if (!m_fd)
        return start(lines);
    // A batch cut short (a full disk) is taken back whole, or the next batch's lines would
    // join its broken last line and leave the whole journal damaged.
    const off_t before = ::lseek(m_fd.get(), 0, SEEK_END);
    if (int err = zelcore::write_all(m_fd.get(), lines.data(), lines.size())) {
        if (before >= 0)
            (void)::ftruncate(m_fd.get(), before);
        return write_error(m_file, err);
    }
    if (sync && ::fdatasync(m_fd.get()) != 0)
        return write_error(m_file, errno);
    return Status::success();
}

Status UndoJournal::record_pairs(BatchOp op, const std::vector<std::string>& from,
                                 const std::vector<std::string>& to) {
    std::string lines;
    if (int err = pair_lines(op == BatchOp::Copy ? "copy" : "move", from, to, lines))
        return write_error(m_file, err);
    return append(lines);
}

Status UndoJournal::record_trash(const std::vector<TrashedFile>& files) {
    std::string lines;
    for (const auto& f : files)
        lines += line({"trash", f.original, f.trashed, f.info});
    return append(lines);
}

Status UndoJournal::record_replace(const TrashedFile& file) {
    return append(line({"replace", file.original, file.trashed, file.info}));
}

Status UndoJournal::record_left(const std::vector<std::string>& from,
                                const std::vector<std::string>& to) {
    std::string lines;
    if (int err = pair_lines("left", from, to, lines))
        return write_error(m_file, err);
    return append(lines, false);
}

fs::path undo_journal_path() {
    return app_home() / "undo.journal";
}

// ---- undo --------------------------------------------------------------------------

namespace {

enum class Kind { Run, Move, Copy, Trash, Replace, Left };

struct KindInfo {
    std::string_view name;
    Kind kind;
    std::size_t fields;
};

constexpr KindInfo kKinds[] = {
    {"run", Kind::Run, 2},     {"move", Kind::Move, 2},       {"copy", Kind::Copy, 2},
    {"trash", Kind::Trash, 3}, {"replace", Kind::Replace, 3}, {"left", Kind::Left, 2},
};

struct Entry {
    Kind kind = Kind::Run;
    std::vector<std::string> fields;

    TrashedFile trashed() const { return {fields[0], fields[1], fields[2]}; }
};

struct Journal {
    std::string description;
    std::vector<Entry> entries;
};

std::vector<std::string_view> split_tabs(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        auto tab = text.find('\t');
        parts.push_back(text.substr(0, tab));
        if (tab == std::string_view::npos)
            return parts;
        text.remove_prefix(tab + 1);
    }
}

bool plain_full_path(const fs::path& path) {
    if (!path.is_absolute())
        return false;
    for (const auto& part : path)
        if (part == "." || part == "..")
            return false;
    return true;
}

// A trash entry names a file in some trash's files/ and its info file in info/ beside it,
// so even a forged journal cannot make undo remove any other file.
bool trash_shaped(const TrashedFile& file) {
    const fs::path trashed(file.trashed), info(file.info);
    return plain_full_path(trashed) && plain_full_path(info) &&
           trashed.parent_path().filename() == "files" && info.parent_path().filename() == "info" &&
           trashed.parent_path().parent_path() == info.parent_path().parent_path() &&
           info.filename().string() == trashed.filename().string() + ".trashinfo";
}

bool valid(const Entry& entry) {
    if (entry.kind == Kind::Run)
        return true;
    for (const auto& field : entry.fields)
        if (field.empty() || field[0] != '/')
            return false;
    return (entry.kind != Kind::Trash && entry.kind != Kind::Replace) ||
           trash_shaped(entry.trashed());
}

bool parse_line(std::string_view text, Entry& entry) {
    auto parts = split_tabs(text);
    const KindInfo* info = nullptr;
    for (const auto& k : kKinds)
        if (k.name == parts[0])
            info = &k;
    if (!info || parts.size() != info->fields + 1)
        return false;
    entry.kind = info->kind;
    entry.fields.clear();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::string field;
        if (!unescape(parts[i], field))
            return false;
        entry.fields.push_back(std::move(field));
    }
    return valid(entry);
}

Result<Journal> read_journal(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Error::not_found("There is nothing to undo.");
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    auto damaged = [&](std::size_t n) {
        return Error::bad_input("The undo journal " + quoted(file) + " is damaged at line " +
                                std::to_string(n) + ".");
    };
    Journal journal;
    std::size_t pos = 0, number = 0;
    // A last line without its line feed was being written when the run ended: the batch it
    // belongs to never started, so it is left out.
    for (auto end = text.find('\n'); end != std::string::npos; end = text.find('\n', pos)) {
        std::string_view one(text.data() + pos, end - pos);
        pos = end + 1;
        ++number;
        if (number == 1) {
            if (one != kFormatLine)
                return damaged(number);
            continue;
        }
        Entry entry;
        if (!parse_line(one, entry) || (number == 2) != (entry.kind == Kind::Run))
            return damaged(number);
        if (entry.kind == Kind::Run)
            journal.description = entry.fields[0];
        else
            journal.entries.push_back(std::move(entry));
    }
    if (number < 2)
        return damaged(number + 1);
    return journal;
}

struct FileTimes {
    off_t size = -1;
    struct timespec mtime {};
};

FileTimes times_of(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {};
    return {st.st_size, st.st_mtim};
}

bool same_content_stamp(const fs::path& a, const fs::path& b) {
    auto x = times_of(a), y = times_of(b);
    return x.size >= 0 && x.size == y.size && x.mtime.tv_sec == y.mtime.tv_sec &&
           x.mtime.tv_nsec == y.mtime.tv_nsec;
}

std::string q(const std::string& path) {
    return quoted(fs::path(path));
}

// The trash names a replaced target in normal form; the pair as the batch spelled it.
std::string normal(const std::string& path) {
    return fs::path(path).lexically_normal().string();
}

/// Walks the journal newest first. A replaced target waits until the file that took its
/// place has gone back; pairs the run left alone are passed over.
class Undoer {
public:
    Undoer(UndoReport& report, Progress& progress) : m_report(report), m_progress(progress) {}

    void run(const std::vector<Entry>& entries) {
        for (std::size_t i = entries.size(); i-- > 0;) {
            m_progress.step(entries.size() - i, entries.size());
            apply(entries[i]);
        }
        for (const auto& [place, file] : m_replaced) // their movers never came back
            untrash(file);
    }

private:
    void apply(const Entry& e) {
        switch (e.kind) {
        case Kind::Left:
            m_left.emplace(e.fields[0], e.fields[1]);
            break;
        case Kind::Replace:
            m_replaced.emplace(normal(e.fields[0]), e.trashed());
            break;
        case Kind::Trash:
            untrash(e.trashed());
            break;
        case Kind::Move:
        case Kind::Copy:
            undo_pair(e);
            break;
        case Kind::Run:
            break;
        }
    }

    void undo_pair(const Entry& e) {
        const std::string &from = e.fields[0], &to = e.fields[1];
        if (auto left = m_left.find({from, to}); left != m_left.end())
            m_left.erase(left);
        else if (e.kind == Kind::Move)
            move_back(from, to);
        else
            remove_copy(from, to);
        auto [first, last] = m_replaced.equal_range(normal(to));
        for (auto it = first; it != last; ++it)
            untrash(it->second);
        m_replaced.erase(first, last);
    }

    void move_back(const std::string& from, const std::string& to) {
        if (path_taken(from)) {
            // Still there: never moved, unless only the letter case changed on a file
            // system that ignores it.
            if (from != to && iequals(from, to) && same_file(from, to))
                done(::rename(to.c_str(), from.c_str()) == 0
                         ? Status::success()
                         : Error::failed("Could not move " + q(to) + " back to " + q(from) + ": " +
                                         std::strerror(errno)));
            return;
        }
        if (!path_taken(to))
            return problem("Could not undo: " + q(to) + " is gone.");
        std::error_code ec;
        fs::create_directories(fs::path(from).parent_path(), ec);
        done(move_no_replace(to, from));
    }

    // The copy goes to the trash, but only while it still is the copy the run made.
    void remove_copy(const std::string& from, const std::string& to) {
        if (!path_taken(to))
            return;
        if (!same_content_stamp(from, to))
            return problem("Left " + q(to) + " alone: it is not the copy of " + q(from) +
                           " made by the run.");
        auto trashed = move_to_trash(to);
        done(trashed ? Status::success() : Status(trashed.error()));
    }

    void untrash(const TrashedFile& file) {
        const bool in_trash = path_taken(file.trashed);
        if (!in_trash && path_taken(file.original)) {
            ::unlink(file.info.c_str()); // prepared, never moved
            return;
        }
        if (!in_trash)
            return problem("Could not undo: " + q(file.trashed) + " is gone from the trash.");
        done(restore_from_trash(file));
    }

    void done(const Status& status) {
        if (status)
            ++m_report.restored;
        else
            problem(status.error().message);
    }
    void problem(std::string text) { m_report.problems.push_back(std::move(text)); }

    UndoReport& m_report;
    Progress& m_progress;
    std::multiset<std::pair<std::string, std::string>> m_left;
    std::multimap<std::string, TrashedFile> m_replaced;
};

} // namespace

Result<UndoReport> undo_last_run(const fs::path& file, Progress& progress) {
    auto journal = read_journal(file);
    if (!journal)
        return journal.error();
    UndoReport report;
    report.description = journal->description;
    Undoer(report, progress).run(journal->entries);
    fs::path done = file;
    done += ".done";
    if (::rename(file.c_str(), done.c_str()) != 0)
        report.problems.push_back("Could not mark the undo journal " + quoted(file) +
                                  " as undone: " + std::strerror(errno));
    return report;
}

} // namespace core
