#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "outcome.h"
#include "rdbs.h"
#include "result.h"
#include "result_tree.h"
#include "scan_record.h"

namespace core {
class Progress;
class Prompter;
class Services;
struct FirstLoadNotice;
} // namespace core

namespace lists {

enum class MatchBy { Checksum, Filename };

/// What the set-up page starts with: the match option ("general"/"MatchByFilename",
/// default "True") and the folder to scan (the system's "RenameFolder" with a trailing
/// separator, or `current_folder` when that is unset or does not exist).
struct ScanSettings {
    MatchBy by = MatchBy::Filename;
    std::string base_folder;
};
ScanSettings read_scan_settings(std::string_view system_id, std::string_view current_folder,
                                const std::filesystem::path& settings_file = {});

/// Remembers the match option ("True" for filename, "False" for checksum).
core::Status write_match_setting(MatchBy by, const std::filesystem::path& settings_file = {});

struct ScanJob {
    core::SystemEntry system;
    std::string base_folder; ///< "" skips gathering and matching: everything is missing
    MatchBy by = MatchBy::Checksum;
    std::filesystem::path session_file; ///< records of an earlier scan; none when empty
    unsigned threads = 0;               ///< files hashed at once; 0: one per core
    const core::FirstLoadNotice* notice = nullptr;
};

struct ScanResult {
    ResultTree tree;
    ScanRecords records; ///< session records first, then found files, as sorted for matching
    MatchBy by = MatchBy::Checksum;
    std::size_t matched = 0;
    std::size_t missing = 0;
    std::size_t unrecognized = 0;
    /// The tree key of each matched entry that has a second checksum -> that checksum.
    std::unordered_map<std::string, std::string> second_crcs;
    std::string system_id;
    std::string long_name;
    /// Stopped when Stop was asked for: the tree is then incomplete. Its problems are the
    /// found files that could not be read and the symbolic links left out, in walk order.
    core::Outcome outcome;

    bool stopped() const { return outcome.end == core::End::Stopped; }
};

/// Scans `job.base_folder` (with its sub-folders) for the system's files, matches them with
/// the database by checksum or by file name and builds the result tree. Reads the database,
/// checksums and cache through `services`; asks `prompter` for the next CD; shows its status
/// texts, bar and Stop on `progress`. A symbolic link is never a found file: it is neither
/// matched nor unrecognized, only named in the problems. Fails, before any file is looked
/// at, when the database cannot be loaded or the session file cannot be read.
core::Result<ScanResult> scan_collection(const ScanJob& job, core::Services& services,
                                         core::Prompter& prompter, core::Progress& progress);

} // namespace lists
