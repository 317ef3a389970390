#include "registration_thunar.h"

#include "atomic_file.h"
#include "platform_xdg.h"
#include "read_file.h"
#include "registration_text.h"
#include "text.h"

namespace zelshell {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kActionOpen = "<action>";
constexpr std::string_view kActionClose = "</action>";
constexpr std::string_view kEmptyFile =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n</actions>\n";

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Where the blanks before `at` begin, when only blanks stand between a line start and `at`.
std::size_t line_start_before(std::string_view text, std::size_t at) {
    std::size_t start = at;
    while (start > 0 && is_blank(text[start - 1]))
        --start;
    return start == 0 || text[start - 1] == '\n' ? start : at;
}

// The text of the first <tag> element in `xml`, its entities of our own writing undone.
std::string element_text(std::string_view xml, const std::string& tag) {
    const std::string open = "<" + tag + ">";
    const auto begin = xml.find(open);
    const auto end = xml.find("</" + tag + ">", begin);
    if (begin == xml.npos || end == xml.npos)
        return {};
    std::string text(xml.substr(begin + open.size(), end - begin - open.size()));
    for (const auto& [entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}})
        for (auto at = text.find(entity); at != text.npos; at = text.find(entity, at + 1))
            text.replace(at, std::string_view(entity).size(), c);
    return text;
}

std::vector<std::string_view> action_elements(std::string_view actions) {
    std::vector<std::string_view> elements;
    for (auto begin = actions.find(kActionOpen); begin != actions.npos;
         begin = actions.find(kActionOpen, begin + 1)) {
        const auto end = actions.find(kActionClose, begin);
        if (end == actions.npos)
            break;
        elements.push_back(actions.substr(begin, end + kActionClose.size() - begin));
    }
    return elements;
}

// What to do by hand in Thunar, for each of our actions.
std::string by_hand(std::string_view actions) {
    std::string text = " Add them in Thunar under Edit > Configure custom actions:";
    for (std::string_view action : action_elements(actions))
        text += "\n  \"" + element_text(action, "name") + "\": command " +
                element_text(action, "command") + ", file pattern " +
                element_text(action, "patterns");
    return text;
}

fs::path uca_file(const fs::path& config) {
    return config / "Thunar" / "uca.xml";
}

// Thunar's standard actions, which it reads from the system's file while the user has none.
std::string system_file() {
    for (const fs::path& dir : platform::config_dirs())
        if (auto bytes = core::read_file_if_exists(uca_file(dir)); bytes && *bytes)
            return **bytes;
    return std::string(kEmptyFile);
}

// A uca.xml that links elsewhere (kept with the user's other settings) is written there.
fs::path write_target(const fs::path& file) {
    std::error_code ec;
    if (fs::is_symlink(file, ec))
        if (auto target = fs::canonical(file, ec); !ec)
            return target;
    return file;
}

} // namespace

std::vector<std::string> thunar_action_ids(std::string_view actions) {
    std::vector<std::string> ids;
    for (std::string_view action : action_elements(actions))
        ids.push_back(element_text(action, "unique-id"));
    return ids;
}

std::string without_thunar_actions(std::string_view uca, const std::vector<std::string>& ids) {
    std::string text(uca);
    for (const std::string& id : ids) {
        const std::string tag = "<unique-id>" + id + "</unique-id>";
        for (auto at = text.find(tag); at != text.npos; at = text.find(tag, at)) {
            const auto open = text.rfind(kActionOpen, at);
            const auto close = text.find(kActionClose, at);
            if (open == text.npos || close == text.npos || text.find(kActionClose, open) < at)
                break;
            const auto begin = line_start_before(text, open);
            auto end = close + kActionClose.size();
            if (end < text.size() && text[end] == '\n')
                ++end;
            text.erase(begin, end - begin);
            at = begin;
        }
    }
    return text;
}

std::optional<std::string> with_thunar_actions(std::string_view uca, std::string_view actions) {
    const auto close = uca.rfind("</actions>");
    if (close == uca.npos)
        return std::nullopt;
    std::string text(uca);
    text.insert(line_start_before(text, close), actions);
    return text;
}

core::Status register_thunar_actions(FileKeeper& keeper, const fs::path& config,
                                     std::string_view actions) {
    const fs::path file = uca_file(config);
    auto disk = core::read_file_if_exists(file);
    if (!disk)
        return disk.error();
    const std::string others =
        without_thunar_actions(*disk ? **disk : system_file(), thunar_action_ids(actions));
    const auto merged = with_thunar_actions(others, actions);
    if (!merged) {
        keeper.notice(core::quoted(file) +
                      " holds no </actions>, so Thunar's custom actions "
                      "were left as they are." +
                      by_hand(actions));
        return core::Status::success();
    }
    if (*disk && **disk == *merged) {
        keeper.ledger().thunar_actions = true;
        return core::Status::success();
    }
    if (platform::program_running_with_config("thunar", config)) {
        keeper.notice("Thunar is running, so its custom actions were left as they are: quit it "
                      "(thunar -q) and register again, or add them by hand." +
                      by_hand(actions));
        return core::Status::success();
    }
    if (auto made = keeper.make_folder(file.parent_path()); !made)
        return made;
    if (auto written = core::write_file_atomically(write_target(file), *merged); !written)
        return written;
    keeper.ledger().thunar_actions = true;
    if (!*disk)
        keeper.ledger().thunar_created = content_hash(others);
    return core::Status::success();
}

core::Status unregister_thunar_actions(FileKeeper& keeper, const fs::path& config,
                                       std::string_view actions) {
    Ledger& ledger = keeper.ledger();
    if (!ledger.thunar_actions)
        return core::Status::success();
    const fs::path file = uca_file(config);
    auto disk = core::read_file_if_exists(file);
    if (!disk)
        return disk.error();
    const std::string others =
        *disk ? without_thunar_actions(**disk, thunar_action_ids(actions)) : std::string();
    if (*disk && others != **disk) {
        if (platform::program_running_with_config("thunar", config)) {
            keeper.notice("Thunar is running, so Zelkon's custom actions are still in " +
                          core::quoted(file) +
                          ": quit it (thunar -q) and unregister again, or "
                          "delete them under Edit > Configure custom actions.");
            return core::Status::success();
        }
        std::error_code ec;
        if (ledger.thunar_created == content_hash(others))
            fs::remove(file, ec);
        else if (auto written = core::write_file_atomically(write_target(file), others); !written)
            return written;
        if (ec)
            return core::Error::failed("cannot remove " + core::quoted(file) + ": " + ec.message());
    }
    ledger.thunar_actions = false;
    ledger.thunar_created.reset();
    return core::Status::success();
}

} // namespace zelshell
