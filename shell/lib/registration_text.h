#pragma once

// How the registration writes a text into each kind of file it makes: every file manager
// reads its command lines by its own rules, and a path may hold blanks, quotes or worse.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "com.h"

namespace zelshell {

/// One argument of an Exec line of a desktop entry, quoted by the Desktop Entry rules when
/// it holds a reserved character, `%` doubled, and escaped as a key-file string value.
std::string desktop_exec_argument(std::string_view argument);
/// A key-file string value: backslashes, tabs and line breaks escaped.
std::string keyfile_value(std::string_view text);
/// One argument as a POSIX shell reads it (and GLib's g_shell_parse_argv): in single quotes.
std::string shell_quoted(std::string_view argument);
/// Text for an XML element: `&`, `<` and `>` escaped.
std::string xml_text(std::string_view text);
/// The inside of a Python bytes literal b"..." holding exactly these bytes.
std::string python_bytes(std::string_view bytes);
/// Every `%` doubled, for command lines that give `%` a meaning.
std::string percent_doubled(std::string_view text);

/// {6B1E5A10-3C2D-4F7A-9E41-5A7C12D00101}
std::string guid_text(const GUID& guid);
/// A short fingerprint of a file's bytes, to tell later whether anyone changed it.
std::string content_hash(std::string_view bytes);
/// True when the text holds a control character (a line break above all): no file format
/// the registration writes can carry one in a path.
bool has_control_character(std::string_view text);

/// The template with each placeholder replaced by its text.
std::string
fill_template(std::string_view text,
              std::initializer_list<std::pair<std::string_view, std::string_view>> values);

} // namespace zelshell
