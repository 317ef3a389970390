#pragma once

// Thunar keeps every custom action of the user in one file, uca.xml, which it reads when it
// starts and rewrites whole when the user saves their actions there. Ours go in and out as
// text, by their unique ids, so that every other byte of the file stays as it was.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registration_files.h"

namespace zelshell {

/// The <unique-id>s of the actions in `actions`.
std::vector<std::string> thunar_action_ids(std::string_view actions);
/// `uca` with every <action> element whose <unique-id> is one of `ids` taken out, each with
/// the line end after it (and the blanks before it when it starts its line).
std::string without_thunar_actions(std::string_view uca, const std::vector<std::string>& ids);
/// `uca` with `actions` (whole lines) put before its closing </actions>; none when it has
/// none.
std::optional<std::string> with_thunar_actions(std::string_view uca, std::string_view actions);

/// Merges our actions into $XDG_CONFIG_HOME/Thunar/uca.xml; the user's own file, or when
/// there is none a copy of the system's (so Thunar's standard actions stay) with ours.
/// While Thunar runs it would overwrite the file with what it read at its start: then the
/// file stays as it is and a notice tells the user how to add the actions.
core::Status register_thunar_actions(FileKeeper& keeper, const std::filesystem::path& config,
                                     std::string_view actions);
/// Takes our actions out again; a uca.xml that we made and that holds nothing else of the
/// user's goes. While Thunar runs the file stays, and the ledger remembers them.
core::Status unregister_thunar_actions(FileKeeper& keeper, const std::filesystem::path& config,
                                       std::string_view actions);

} // namespace zelshell
