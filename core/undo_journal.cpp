#include "undo_journal.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
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

} // namespace

UndoJournal::UndoJournal(fs::path file, std::string description)
    : m_file(std::move(file)), m_description(std::move(description)) {}

// The previous run's journal stays until this run has something to record.
Status UndoJournal::start() {
    fs::path fresh = m_file;
    fresh += ".new";
    std::error_code ec;
    fs::create_directories(m_file.parent_path(), ec);
    zelcore::UniqueFd fd(
        ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600));
    if (!fd)
        return write_error(m_file, errno);
    std::string head = std::string(kFormatLine) + '\n' +
                       line({"run", m_description, local_time_text("%Y-%m-%d %H:%M:%S")});
    if (int err = zelcore::write_all(fd.get(), head.data(), head.size()))
        return write_error(m_file, err);
    if (::fdatasync(fd.get()) != 0 || ::rename(fresh.c_str(), m_file.c_str()) != 0)
        return write_error(m_file, errno);
    sync_folder(m_file.parent_path());
    m_fd.reset(fd.release());
    return Status::success();
}

Status UndoJournal::append(const std::string& lines) {
    if (!m_fd)
        if (auto started = start(); !started)
            return started;
    if (int err = zelcore::write_all(m_fd.get(), lines.data(), lines.size()))
        return write_error(m_file, err);
    if (::fdatasync(m_fd.get()) != 0)
        return write_error(m_file, errno);
    return Status::success();
}

Status UndoJournal::record_pairs(BatchOp op, const std::vector<std::string>& from,
                                 const std::vector<std::string>& to) {
    const std::string_view kind = op == BatchOp::Copy ? "copy" : "move";
    std::string lines;
    for (std::size_t i = 0; i < from.size() && i < to.size(); ++i)
        lines += line({kind, from[i], to[i]});
    return lines.empty() ? Status::success() : append(lines);
}

Status UndoJournal::record_trash(const std::vector<TrashedFile>& files) {
    std::string lines;
    for (const auto& f : files)
        lines += line({"trash", f.original, f.trashed, f.info});
    return lines.empty() ? Status::success() : append(lines);
}

fs::path undo_journal_path() {
    return app_home() / "undo.journal";
}

// ---- undo --------------------------------------------------------------------------

namespace {

struct Entry {
    std::string kind;
    std::vector<std::string> fields;
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

std::size_t fields_of(std::string_view kind) {
    if (kind == "run")
        return 2;
    if (kind == "move" || kind == "copy")
        return 2;
    if (kind == "trash")
        return 3;
    return 0;
}

bool parse_line(std::string_view text, Entry& entry) {
    auto parts = split_tabs(text);
    entry.kind = std::string(parts[0]);
    if (fields_of(entry.kind) == 0 || parts.size() != fields_of(entry.kind) + 1)
        return false;
    entry.fields.clear();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::string field;
        if (!unescape(parts[i], field) || (entry.kind != "run" && field.empty()))
            return false;
        entry.fields.push_back(std::move(field));
    }
    return true;
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
        if (!parse_line(one, entry) || (number == 2) != (entry.kind == "run"))
            return damaged(number);
        if (entry.kind == "run")
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

class Undoer {
public:
    explicit Undoer(UndoReport& report) : m_report(report) {}

    void move_back(const std::string& from, const std::string& to) {
        if (path_taken(from))
            return; // never moved (skipped, or the run ended before it)
        if (!path_taken(to))
            return problem("Could not undo: " + core::quoted(fs::path(to)) + " is gone.");
        std::error_code ec;
        fs::create_directories(fs::path(from).parent_path(), ec);
        done(move_no_replace(to, from));
    }

    // The copy goes to the trash, but only when it still is the copy we made: a target
    // that was there before the run (and so was skipped) stays.
    void remove_copy(const std::string& from, const std::string& to) {
        if (!path_taken(to))
            return;
        if (!same_content_stamp(from, to))
            return problem("Left " + core::quoted(fs::path(to)) + " alone: it is not the copy of " +
                           core::quoted(fs::path(from)) + " made by the run.");
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
            return problem("Could not undo: " + core::quoted(fs::path(file.trashed)) +
                           " is gone from the trash.");
        done(restore_from_trash(file));
    }

private:
    void done(const Status& status) {
        if (status)
            ++m_report.restored;
        else
            problem(status.error().message);
    }
    void problem(std::string text) { m_report.problems.push_back(std::move(text)); }
    UndoReport& m_report;
};

} // namespace

Result<UndoReport> undo_last_run(const fs::path& file, Progress& progress) {
    auto journal = read_journal(file);
    if (!journal)
        return journal.error();
    UndoReport report;
    report.description = journal->description;
    Undoer undo(report);
    const auto& entries = journal->entries;
    std::size_t step = 0;
    // Moves and copies first, newest first; then what went to the trash, which includes
    // files that were replaced and so can only come back once the mover has left.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        progress.step(++step, entries.size());
        if (it->kind == "move")
            undo.move_back(it->fields[0], it->fields[1]);
        else if (it->kind == "copy")
            undo.remove_copy(it->fields[0], it->fields[1]);
    }
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (it->kind != "trash")
            continue;
        progress.step(++step, entries.size());
        undo.untrash({it->fields[0], it->fields[1], it->fields[2]});
    }
    fs::path done = file;
    done += ".done";
    if (::rename(file.c_str(), done.c_str()) != 0)
        report.problems.push_back("Could not mark the undo journal " + quoted(file) +
                                  " as undone: " + std::strerror(errno));
    return report;
}

} // namespace core
