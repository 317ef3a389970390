#include "undo_journal_read.h"

#include <fstream>
#include <sstream>

#include "text.h"
#include "undo_journal_format.h"

namespace core::journal_read {

using journal_format::escape;
using journal_format::kFormatLine;
using journal_format::unescape;

namespace {

namespace fs = std::filesystem;

struct KindInfo {
    std::string_view name;
    Kind kind;
    std::size_t fields;
};

constexpr KindInfo kKinds[] = {
    {"run", Kind::Run, 2},       {"move", Kind::Move, 2},       {"copy", Kind::Copy, 2},
    {"trash", Kind::Trash, 3},   {"replace", Kind::Replace, 3}, {"left", Kind::Left, 2},
    {"member", Kind::Member, 3},
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

// Every field is a full path, except the member names of a member entry.
bool valid(const Entry& entry) {
    if (entry.kind == Kind::Run)
        return true;
    for (std::size_t i = 0; i < entry.fields.size(); ++i) {
        const std::string& field = entry.fields[i];
        if (field.empty() || (field[0] != '/' && (entry.kind != Kind::Member || i == 0)))
            return false;
    }
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

} // namespace

std::time_t Journal::started() const {
    std::tm tm{};
    if (run.fields.size() < 2 || !::strptime(run.fields[1].c_str(), "%Y-%m-%d %H:%M:%S", &tm))
        return 0;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return t < 0 ? 0 : t;
}

Result<Journal> read_journal(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Error::not_found("There is nothing to undo.");
    std::stringstream buffer;
    buffer << in.rdbuf();
    return parse_journal(buffer.str(), file);
}

Result<Journal> parse_journal(const std::string& text, const fs::path& file) {
    auto damaged = [&](std::size_t n) {
        return Error::bad_input("The undo journal " + quoted(file) + " is damaged at line " +
                                std::to_string(n) + ".");
    };
    Journal journal;
    std::size_t pos = 0, number = 0;
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
            journal.run = std::move(entry);
        else
            journal.entries.push_back(std::move(entry));
    }
    if (number < 2)
        return damaged(number + 1);
    return journal;
}

std::string entry_line(const Entry& entry) {
    std::string out;
    for (const auto& k : kKinds)
        if (k.kind == entry.kind)
            out = k.name;
    for (const auto& field : entry.fields)
        out.append("\t").append(escape(field));
    return out + '\n';
}

} // namespace core::journal_read
