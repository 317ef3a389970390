#include "placement.h"

#include <filesystem>
#include <system_error>

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

FolderIndex::Folder& FolderIndex::folder(const std::string& path) {
    auto [it, fresh] = m_folders.try_emplace(path);
    if (!fresh)
        return it->second;
    std::error_code ec;
    std::filesystem::directory_iterator entries(path.empty() ? "." : path, ec), end;
    for (; !ec && entries != end; entries.increment(ec)) {
        std::error_code type_ec;
        if (!entries->is_directory(type_ec) || entries->is_symlink(type_ec))
            add_name(it->second, fold_case(entries->path().filename().string()));
    }
    return it->second;
}

// A name counts for every stem it could be "stem.*" of: "Game.v1.bin" for "Game" and
// "Game.v1", and for itself, since "Game.*" also finds a file called just "Game".
void FolderIndex::add_name(Folder& f, std::string folded) {
    auto [it, inserted] = f.names.insert(std::move(folded));
    if (!inserted)
        return;
    const std::string& name = *it;
    for (auto dot = name.find('.'); dot != std::string::npos; dot = name.find('.', dot + 1))
        ++f.stems[name.substr(0, dot)];
    ++f.stems[name];
}

void FolderIndex::remove_name(Folder& f, const std::string& folded) {
    if (f.names.erase(folded) == 0)
        return;
    auto drop = [&f](const std::string& key) {
        auto it = f.stems.find(key);
        if (it != f.stems.end() && --it->second == 0)
            f.stems.erase(it);
    };
    for (auto dot = folded.find('.'); dot != std::string::npos; dot = folded.find('.', dot + 1))
        drop(folded.substr(0, dot));
    drop(folded);
}

bool FolderIndex::has_file(const std::string& path) {
    return folder(parent_folder(path)).names.count(fold_case(file_name(path))) != 0;
}

bool FolderIndex::has_stem(const std::string& folder_path, std::string_view stem_text) {
    return folder(folder_path).stems.count(fold_case(stem_text)) != 0;
}

void FolderIndex::added(const std::string& path) {
    add_name(folder(parent_folder(path)), fold_case(file_name(path)));
}

void FolderIndex::removed(const std::string& path) {
    remove_name(folder(parent_folder(path)), fold_case(file_name(path)));
}

// ---- Placement ---------------------------------------------------------------------

bool Placement::taken(const std::string& target) {
    return m_queued.count(target) != 0 || m_index.has_stem(parent_folder(target), stem(target));
}

void Placement::queue(const std::string& item, std::string target) {
    m_move_from.add(item);
    m_queued.insert(target);
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
        if (!m_index.has_file(candidate) && m_queued.count(candidate) == 0)
            return candidate;
    }
}

void Placement::queue_move(const std::string& source, std::string& target,
                           std::string& dupe_folder) {
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
        return;
    }
    if (!taken(target)) {
        queue(item, target);
        return;
    }
    ++m_dupes;
    if (dupe_folder == kDeleteDupes) {
        m_delete.add(item);
        return;
    }
    if (dupe_folder.empty())
        return;
    if (fold_case(parent_folder(item)) == fold_case(add_backslash(dupe_folder)))
        return; // it already lies among the duplicates
    // The extension view may point into target, which is about to be replaced.
    std::string ext_text(ext);
    std::string stem_text(stem(target));
    target = numbered_dupe(dupe_folder, stem_text, ext_text);
    queue(item, target);
}

bool Placement::moves_over_limit() const {
    return m_move_from.chars() > kBatchFlushChars || m_move_to.chars() > kBatchFlushChars;
}

bool Placement::deletes_over_limit() const {
    return m_delete.chars() > kBatchFlushChars;
}

Batch Placement::take_moves(BatchOp op) {
    // Once carried out, the targets are on the disk and the index answers for them.
    m_queued.clear();
    return {op, m_move_from.take(), m_move_to.take()};
}

Batch Placement::take_deletes() {
    return {BatchOp::Delete, m_delete.take(), {}};
}

void Placement::carried_out(const Batch& batch, const BatchOutcome& outcome) {
    for (std::size_t i = 0; i < batch.from.size() && i < outcome.items.size(); ++i) {
        if (outcome.items[i] != ItemResult::Done)
            continue;
        if (batch.op != BatchOp::Copy)
            m_index.removed(batch.from[i]);
        if (batch.op != BatchOp::Delete && i < batch.to.size())
            m_index.added(batch.to[i]);
    }
}

} // namespace core
