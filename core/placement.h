#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "batch.h"

namespace core {

/// What queue_move does with a duplicate, from the dupe-folder argument.
inline constexpr std::string_view kDeleteDupes = ":delete:";

/// The files of the folders that placement looks into, read once per folder and run and
/// kept true to the plan as its batches are taken, so that "is there a file called
/// Game.* here?" never scans a folder twice. Names compare without regard to case.
class FolderIndex {
public:
    /// A file of exactly this name (without regard to case) is in its folder.
    bool has_file(const std::string& path);
    /// A file named `stem` or `stem.*` is in `folder` (which ends in a separator).
    bool has_stem(const std::string& folder, std::string_view stem);
    /// One of those files is there only because the plan puts it there.
    bool has_planned_stem(const std::string& folder, std::string_view stem);
    /// The names, as on the disk, of the files named `stem` or `stem.*` that were in
    /// `folder` when it was read and that the plan has not taken away. Reads the folder's
    /// names once more the first time it is asked about that folder.
    std::vector<std::string> disk_holders(const std::string& folder, std::string_view stem);

    void added(const std::string& path); ///< the plan puts a file here
    void removed(const std::string& path);

private:
    /// Lets the maps be asked with a string_view, so a lookup builds no string.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    template <class V>
    using TextMap = std::unordered_map<std::string, V, TextHash, std::equal_to<>>;
    struct Count {
        std::uint32_t all = 0;
        std::uint32_t planned = 0;
    };
    struct Folder {
        TextMap<bool> names;  ///< folded file names; true for the ones the plan put there
        TextMap<Count> stems; ///< folded name prefixes before a dot
        /// (folded, as on the disk) names as first read, sorted; made when first needed.
        std::vector<std::pair<std::string, std::string>> listing;
        bool listed = false;
    };
    Folder& folder(std::string_view path);
    static void add_name(Folder& f, std::string folded, bool planned);
    static void remove_name(Folder& f, std::string_view folded);

    TextMap<Folder> m_folders;
};

/// Asked about a file that holds the name a ROM would take: is that file the same ROM?
using SameRom = std::function<bool(const std::string& holder)>;

/// What queue_move made of one file.
enum class Placed {
    Queued,       ///< it goes to its target
    AlreadyNamed, ///< it bears its name already
    Duplicate,    ///< the same ROM holds the name: it goes to the dupe folder or stays
    Deleted,      ///< the same ROM holds the name: it goes to the trash
    NameTaken,    ///< a different file holds the very name: it stays where it is
};

/// Plans where files go: the pending move and delete lists of a run, the duplicate and
/// already-named counts, and the index of the folders involved. A batch taken from the
/// lists counts as carried out for the plan's later items; whatever the executor then
/// cannot do it reports and skips, and no later item of the plan can take its place.
class Placement {
public:
    /// Plans one file. `source` is a file, or a member of a ZIP archive ("a.zip/x.bin"),
    /// for which the archive itself is placed and keeps its own extension. `target` is
    /// rewritten to where the item goes; `dupe_folder` (a folder, "", or kDeleteDupes) is
    /// normalised ("/" becomes ""). The target's name is held when a file named like it
    /// (any extension, the item itself left out) is in its folder or queued. Such a file
    /// makes the item a duplicate only when `same_rom` says it is the same ROM, or when
    /// this plan put it there; when `same_rom` is empty every holder counts. When only
    /// different files hold it, the item still takes the target if that very name is free,
    /// and stays where it is otherwise (NameTaken).
    Placed queue_move(const std::string& source, std::string& target, std::string& dupe_folder,
                      const SameRom& same_rom = {});

    bool moves_over_limit() const;
    bool deletes_over_limit() const;
    bool has_moves() const { return !m_move_from.empty(); }
    bool has_deletes() const { return !m_delete.empty(); }

    /// The pending lists as a batch; the lists are empty afterwards and the folder index
    /// counts the batch as carried out.
    Batch take_moves(BatchOp op);
    Batch take_deletes();

    std::uint32_t dupe_count() const { return m_dupes; }
    std::uint32_t already_named_count() const { return m_already_named; }

private:
    enum class Holder { None, Same, Other };
    Holder holder(const std::string& item, const std::string& target, const SameRom& same_rom);
    Placed duplicate(const std::string& item, std::string& target, const std::string& dupe_folder,
                     std::string_view ext);
    void queue(const std::string& item, std::string target);
    std::string numbered_dupe(const std::string& dupe_folder, std::string_view stem,
                              std::string_view ext);

    PathList m_move_from, m_move_to, m_delete;
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
