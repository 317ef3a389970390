#include "undo_journal.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "app_home.h"
#include "file_move.h"
#include "text.h"
#include "undo_journal_format.h"

namespace core {

using journal_format::kFormatLine;
using journal_format::line;

namespace {

namespace fs = std::filesystem;

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
    // Held while the run goes on, so that the next run tells it from a killed one.
    (void)::flock(fd.get(), LOCK_EX);
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

Status UndoJournal::record_members(const std::vector<MemberRename>& renames) {
    std::string lines;
    std::error_code ec;
    for (const auto& r : renames) {
        const auto archive = fs::absolute(r.archive, ec);
        if (ec)
            return write_error(m_file, ec.value());
        lines += line({"member", archive.string(), r.old_name, r.new_name});
    }
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

} // namespace core
