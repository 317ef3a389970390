#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace zelshell {

/// What the registration has made, kept in a file of ours so that unregistration removes
/// exactly that: the files it wrote (with a fingerprint of their bytes, to see a file the
/// user changed since), the folders it made, what a cache tool generated for it, and its
/// actions in Thunar's shared file.
class Ledger {
public:
    /// A missing file loads as an empty ledger.
    static core::Result<Ledger> load(const std::filesystem::path& file);
    /// Writes the ledger when it differs from the file; an empty ledger removes the file.
    core::Status save() const;
    const std::filesystem::path& file() const { return m_file; }
    bool empty() const;

    std::optional<std::string> file_hash(const std::filesystem::path& path) const;
    std::vector<std::filesystem::path> files() const;
    void record_file(const std::filesystem::path& path, std::string hash);
    void forget_file(const std::filesystem::path& path);

    /// Folders made, parents before their children.
    const std::vector<std::filesystem::path>& folders() const { return m_folders; }
    void record_folder(const std::filesystem::path& folder);
    void forget_folder(const std::filesystem::path& folder);

    /// What a cache tool (by key) made for us, in the order it was found.
    std::vector<std::filesystem::path> generated(std::string_view tool) const;
    void record_generated(std::string_view tool, const std::filesystem::path& path);
    void forget_generated(std::string_view tool);

    /// Our actions are in Thunar's uca.xml.
    bool thunar_actions = false;
    /// We made uca.xml; without our actions it had these bytes (their fingerprint).
    std::optional<std::string> thunar_created;

private:
    std::string serialize() const;

    std::filesystem::path m_file;
    std::map<std::filesystem::path, std::string> m_files;
    std::vector<std::filesystem::path> m_folders;
    std::vector<std::pair<std::string, std::filesystem::path>> m_generated;
};

} // namespace zelshell
