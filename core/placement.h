#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "batch.h"

namespace core {

/// What queue_move does with a duplicate, from the dupe-folder argument.
inline constexpr std::string_view kDeleteDupes = ":delete:";

/// The files of the folders that placement looks into, read once per folder and run and
/// kept true to the disk as batches are carried out, so that "is there a file called
/// Game.* here?" never scans a folder twice. Names compare without regard to case.
class FolderIndex {
public:
    /// A file of exactly this name (without regard to case) is in its folder.
    bool has_file(const std::string& path);
    /// A file named `stem` or `stem.*` is in `folder` (which ends in a separator).
    bool has_stem(const std::string& folder, std::string_view stem);

    void added(const std::string& path);
    void removed(const std::string& path);

private:
    /// Lets the sets be asked with a string_view, so a lookup builds no string.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    template <class V>
    using TextMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;
    struct Folder {
        std::unordered_set<std::string, TextHash, std::equal_to<>> names; ///< folded file names
        TextMap<std::uint32_t> stems; ///< folded name prefixes before a dot
    };
    Folder& folder(std::string_view path);
    static void add_name(Folder& f, std::string folded);
    static void remove_name(Folder& f, std::string_view folded);

    TextMap<Folder> m_folders;
};

/// Plans where files go: the pending move and delete lists of a run, the duplicate and
/// already-named counts, and the index of the folders involved.
class Placement {
public:
    /// Plans one file. `source` is a file, or a member of a ZIP archive ("a.zip/x.bin"),
    /// for which the archive itself is placed and keeps its own extension. `target` is
    /// rewritten to where the item goes; `dupe_folder` (a folder, "", or kDeleteDupes) is
    /// normalised ("/" becomes "").
    void queue_move(const std::string& source, std::string& target, std::string& dupe_folder);

    bool moves_over_limit() const;
    bool deletes_over_limit() const;
    bool has_moves() const { return !m_move_from.empty(); }
    bool has_deletes() const { return !m_delete.empty(); }

    /// The pending lists as a batch; the lists are empty afterwards.
    Batch take_moves(BatchOp op);
    Batch take_deletes();
    /// Keeps the folder index true after a batch was carried out.
    void carried_out(const Batch& batch, const BatchOutcome& outcome);

    std::uint32_t dupe_count() const { return m_dupes; }
    std::uint32_t already_named_count() const { return m_already_named; }

private:
    bool taken(const std::string& target);
    void queue(const std::string& item, std::string target);
    std::string numbered_dupe(const std::string& dupe_folder, std::string_view stem,
                              std::string_view ext);

    PathList m_move_from, m_move_to, m_delete;
    std::unordered_set<std::string> m_queued; ///< targets in the move list
    FolderIndex m_index;
    std::uint32_t m_dupes = 0;
    std::uint32_t m_already_named = 0;
};

/// The folder part of a path, with its trailing separator ("" when there is none).
std::string parent_folder(std::string_view path);
/// The last component of a path.
std::string_view file_name(std::string_view path);
/// The file name without its last extension ("Game (U).bin" -> "Game (U)").
std::string_view stem(std::string_view path);
/// The text after the last dot of the file name, in its own case ("" when none).
std::string_view extension(std::string_view path);
/// The archive a member path ("a.zip/x.bin") lies in; empty for a plain file.
std::string containing_archive(std::string_view path);

} // namespace core
