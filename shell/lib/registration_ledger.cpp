#include "registration_ledger.h"

#include <algorithm>
#include <sstream>

#include "atomic_file.h"
#include "read_file.h"
#include "text.h"

namespace zelshell {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kHeading =
    "# What zelshell --register made; zelshell --unregister removes exactly this.\n";

// "word rest": the first word and the text after one blank.
std::pair<std::string, std::string> split_word(const std::string& line) {
    const auto blank = line.find(' ');
    if (blank == std::string::npos)
        return {line, ""};
    return {line.substr(0, blank), line.substr(blank + 1)};
}

} // namespace

core::Result<Ledger> Ledger::load(const fs::path& file) {
    auto bytes = core::read_file_if_exists(file);
    if (!bytes)
        return bytes.error();
    Ledger ledger;
    ledger.m_file = file;
    std::istringstream lines(bytes->value_or(""));
    for (std::string line; std::getline(lines, line);) {
        auto [word, rest] = split_word(line);
        if (word == "file") {
            auto [hash, path] = split_word(rest);
            ledger.m_files[path] = hash;
        } else if (word == "folder") {
            ledger.m_folders.emplace_back(rest);
        } else if (word == "generated") {
            auto [tool, path] = split_word(rest);
            ledger.m_generated.emplace_back(tool, path);
        } else if (word == "thunar-actions") {
            ledger.thunar_actions = true;
        } else if (word == "thunar-created") {
            ledger.thunar_created = rest;
        }
    }
    return ledger;
}

std::string Ledger::serialize() const {
    std::string text(kHeading);
    for (const auto& [path, hash] : m_files)
        text += "file " + hash + " " + path.string() + "\n";
    for (const auto& folder : m_folders)
        text += "folder " + folder.string() + "\n";
    for (const auto& [tool, path] : m_generated)
        text += "generated " + tool + " " + path.string() + "\n";
    if (thunar_actions)
        text += "thunar-actions\n";
    if (thunar_created)
        text += "thunar-created " + *thunar_created + "\n";
    return text;
}

core::Status Ledger::save() const {
    std::error_code ec;
    if (empty()) {
        if (!fs::remove(m_file, ec) && ec)
            return core::Error::failed("cannot remove " + core::quoted(m_file) + ": " +
                                       ec.message());
        return core::Status::success();
    }
    const std::string text = serialize();
    auto old = core::read_file_if_exists(m_file);
    if (old && *old == text)
        return core::Status::success();
    return core::write_file_atomically(m_file, text, 0644);
}

bool Ledger::empty() const {
    return m_files.empty() && m_folders.empty() && m_generated.empty() && !thunar_actions &&
           !thunar_created;
}

std::optional<std::string> Ledger::file_hash(const fs::path& path) const {
    const auto it = m_files.find(path);
    return it == m_files.end() ? std::nullopt : std::optional(it->second);
}

std::vector<fs::path> Ledger::files() const {
    std::vector<fs::path> paths;
    for (const auto& entry : m_files)
        paths.push_back(entry.first);
    return paths;
}

void Ledger::record_file(const fs::path& path, std::string hash) {
    m_files[path] = std::move(hash);
}

void Ledger::forget_file(const fs::path& path) {
    m_files.erase(path);
}

void Ledger::record_folder(const fs::path& folder) {
    if (std::find(m_folders.begin(), m_folders.end(), folder) == m_folders.end())
        m_folders.push_back(folder);
}

void Ledger::forget_folder(const fs::path& folder) {
    std::erase(m_folders, folder);
}

std::vector<fs::path> Ledger::generated(std::string_view tool) const {
    std::vector<fs::path> paths;
    for (const auto& [owner, path] : m_generated)
        if (owner == tool)
            paths.push_back(path);
    return paths;
}

void Ledger::record_generated(std::string_view tool, const fs::path& path) {
    m_generated.emplace_back(tool, path);
}

void Ledger::forget_generated(std::string_view tool) {
    std::erase_if(m_generated, [&](const auto& entry) { return entry.first == tool; });
}

} // namespace zelshell
