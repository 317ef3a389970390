#include "placement.h"

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "identify.h"
#include "settings.h"
#include "text.h"

namespace core {

std::string parent_folder(std::string_view path) {
    auto slash = path.rfind(kSeparator);
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string_view file_name(std::string_view path) {
    auto slash = path.rfind(kSeparator);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view stem(std::string_view path) {
    auto name = file_name(path);
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

std::string_view extension(std::string_view path) {
    auto name = file_name(path);
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string containing_archive(std::string_view path) {
    std::string parent = parent_folder(path);
    if (parent.size() < 2)
        return {};
    parent.pop_back();
    return is_zip(parent) ? parent : std::string();
}

// ---- FolderIndex -------------------------------------------------------------------

namespace {

std::string_view folder_of(std::string_view path) {
    auto slash = path.rfind(kSeparator);
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

/// Calls `take` with the name of every entry of `path` that is not a folder (a link to a
/// folder counts as a name too). readdir's own file types spare a stat per entry.
template <class Take> void each_name(std::string_view path, Take take) {
    const std::string folder = path.empty() ? std::string(".") : std::string(path);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st {};
            if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        }
        if (type != DT_DIR)
            take(name);
    }
    ::closedir(dir);
}

} // namespace

FolderIndex::Folder& FolderIndex::folder(std::string_view path) {
    if (auto it = m_folders.find(path); it != m_folders.end())
        return it->second;
    Folder& f = m_folders[std::string(path)];
    each_name(path, [&f](std::string_view name) { add_name(f, fold_case(name), false); });
    return f;
}

// A name counts for every stem it could be "stem.*" of: "Game.v1.bin" for "Game" and
// "Game.v1", and for itself, since "Game.*" also finds a file called just "Game".
void FolderIndex::add_name(Folder& f, std::string folded, bool planned) {
    auto [it, inserted] = f.names.emplace(std::move(folded), planned);
    if (!inserted)
        return;
    const std::string_view name = it->first;
    auto count = [&f, planned](std::string_view key) {
        auto s = f.stems.find(key);
        if (s == f.stems.end())
            s = f.stems.emplace(std::string(key), Count{}).first;
        ++s->second.all;
        s->second.planned += planned ? 1 : 0;
    };
    for (auto dot = name.find('.'); dot != std::string_view::npos; dot = name.find('.', dot + 1))
        count(name.substr(0, dot));
    count(name);
}

void FolderIndex::remove_name(Folder& f, std::string_view folded) {
    auto named = f.names.find(folded);
    if (named == f.names.end())
        return;
    const bool planned = named->second;
    auto drop = [&f, planned](std::string_view key) {
        auto it = f.stems.find(key);
        if (it == f.stems.end())
            return;
        it->second.planned -= planned ? 1 : 0;
        if (--it->second.all == 0)
            f.stems.erase(it);
    };
    for (auto dot = folded.find('.'); dot != std::string_view::npos;
         dot = folded.find('.', dot + 1))
        drop(folded.substr(0, dot));
    drop(folded);
    f.names.erase(named); // last: `folded` may be the stored name itself
}

bool FolderIndex::has_file(const std::string& path) {
    return folder(folder_of(path)).names.count(fold_case(file_name(path))) != 0;
}

bool FolderIndex::has_stem(const std::string& folder_path, std::string_view stem_text) {
    return folder(folder_path).stems.count(fold_case(stem_text)) != 0;
}

bool FolderIndex::has_planned_stem(const std::string& folder_path, std::string_view stem_text) {
    const Folder& f = folder(folder_path);
    auto it = f.stems.find(fold_case(stem_text));
    return it != f.stems.end() && it->second.planned != 0;
}

std::vector<std::string> FolderIndex::disk_holders(const std::string& folder_path,
                                                   std::string_view stem_text) {
    Folder& f = folder(folder_path);
    if (!f.listed) {
        each_name(folder_path, [&f](std::string_view name) {
            f.listing.emplace_back(fold_case(name), std::string(name));
        });
        std::sort(f.listing.begin(), f.listing.end());
        f.listed = true;
    }
    // Every name that begins with the stem sorts in one run from the stem itself.
    const std::string key = fold_case(stem_text);
    std::vector<std::string> out;
    auto it =
        std::lower_bound(f.listing.begin(), f.listing.end(), key,
                         [](const auto& entry, const std::string& k) { return entry.first < k; });
    for (; it != f.listing.end() && it->first.starts_with(key); ++it) {
        const std::string& folded = it->first;
        if (folded.size() != key.size() && folded[key.size()] != '.')
            continue;
        auto now = f.names.find(folded);
        if (now != f.names.end() && !now->second)
            out.push_back(it->second);
    }
    return out;
}

void FolderIndex::added(const std::string& path) {
    add_name(folder(folder_of(path)), fold_case(file_name(path)), true);
}

void FolderIndex::removed(const std::string& path) {
    remove_name(folder(folder_of(path)), fold_case(file_name(path)));
}

// ---- Placement ---------------------------------------------------------------------

// The item itself never holds its own target's name: "Sonic 3.5.bin" becoming "Sonic 3.bin"
// is no duplicate of itself.
Placement::Holder Placement::holder(const std::string& item, const std::string& target,
                                    const SameRom& same_rom) {
    const std::string folder = parent_folder(target);
    const std::string_view stem_text = stem(target);
    if (!m_index.has_stem(folder, stem_text))
        return Holder::None;
    if (m_index.has_planned_stem(folder, stem_text))
        return Holder::Same;
    const bool same_folder = fold_case(parent_folder(item)) == fold_case(folder);
    const std::string own = fold_case(file_name(item));
    bool any = false;
    for (const auto& name : m_index.disk_holders(folder, stem_text)) {
        if (same_folder && fold_case(name) == own)
            continue;
        if (!same_rom || same_rom(folder + name))
            return Holder::Same;
        any = true;
    }
    return any ? Holder::Other : Holder::None;
}

// A queued target holds its name for the rest of the plan as a file on the disk would:
// "Game.zip" queued makes "Game.bin" a duplicate, in whatever letter case.
void Placement::queue(const std::string& item, std::string target) {
    m_move_from.add(item);
    m_index.added(target);
    m_move_to.add(std::move(target));
}

std::string Placement::numbered_dupe(const std::string& dupe_folder, std::string_view stem_text,
                                     std::string_view ext) {
    const std::string folder = add_backslash(dupe_folder);
    for (unsigned n = 1;; ++n) {
        std::string number = std::to_string(n);
        if (number.size() < 2)
            number.insert(0, "0");
        std::string candidate = folder;
        candidate.append(stem_text).append(" {D").append(number).append("}");
        if (!ext.empty())
            candidate.append(".").append(ext);
        if (!m_index.has_file(candidate))
            return candidate;
    }
}

Placed Placement::queue_move(const std::string& source, std::string& target,
                             std::string& dupe_folder, const SameRom& same_rom) {
    if (is_unset_folder(dupe_folder))
        dupe_folder.clear();

    // A member of an archive moves as the archive, which keeps its own extension.
    std::string item = containing_archive(source);
    std::string_view ext = extension(target);
    if (item.empty()) {
        item = source;
    } else {
        std::string renamed = parent_folder(target);
        renamed.append(stem(target)).append(".").append(extension(item));
        target = std::move(renamed);
        ext = extension(item);
    }

    if (fold_case(item) == fold_case(target)) {
        ++m_already_named;
        return Placed::AlreadyNamed;
    }
    switch (holder(item, target, same_rom)) {
    case Holder::None:
        queue(item, target);
        return Placed::Queued;
    case Holder::Other:
        if (m_index.has_file(target))
            return Placed::NameTaken;
        queue(item, target);
        return Placed::Queued;
    case Holder::Same:
        break;
    }
    return duplicate(item, target, dupe_folder, ext);
}

Placed Placement::duplicate(const std::string& item, std::string& target,
                            const std::string& dupe_folder, std::string_view ext) {
    ++m_dupes;
    if (dupe_folder == kDeleteDupes) {
        m_delete.add(item);
        return Placed::Deleted;
    }
    if (dupe_folder.empty())
        return Placed::Duplicate;
    if (fold_case(parent_folder(item)) == fold_case(add_backslash(dupe_folder)))
        return Placed::Duplicate; // it already lies among the duplicates
    // The extension view may point into target, which is about to be replaced.
    std::string ext_text(ext);
    std::string stem_text(stem(target));
    target = numbered_dupe(dupe_folder, stem_text, ext_text);
    queue(item, target);
    return Placed::Duplicate;
}

bool Placement::moves_over_limit() const {
    return m_move_from.chars() > kBatchFlushChars || m_move_to.chars() > kBatchFlushChars;
}

bool Placement::deletes_over_limit() const {
    return m_delete.chars() > kBatchFlushChars;
}

Batch Placement::take_moves(BatchOp op) {
    Batch batch{op, m_move_from.take(), m_move_to.take()};
    // The index has the targets already; the sources of a move are free from here on.
    if (op != BatchOp::Copy)
        for (const auto& path : batch.from)
            m_index.removed(path);
    for (const auto& path : batch.to)
        m_index.added(path); // a target that bears a moved source's name
    return batch;
}

Batch Placement::take_deletes() {
    Batch batch{BatchOp::Delete, m_delete.take(), {}};
    for (const auto& path : batch.from)
        m_index.removed(path);
    return batch;
}

} // namespace core
