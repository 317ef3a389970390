#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace cli {

using Json = nlohmann::ordered_json;

/// Prints `doc` as one indented JSON document and a line end. Names that are not valid
/// UTF-8 are shown with U+FFFD rather than ending the output.
inline void print_json(std::ostream& out, const Json& doc) {
    out << doc.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

/// A text as JSON: null when empty.
inline Json text_or_null(std::string_view text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

/// A name as a text line shows it: a backslash as \\, a tab as \t, a line feed as \n and a
/// carriage return as \r, so that one name stays one field of one line.
inline std::string escaped(std::string_view name) {
    std::string text;
    text.reserve(name.size());
    for (char c : name) {
        switch (c) {
        case '\\':
            text += "\\\\";
            break;
        case '\t':
            text += "\\t";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        default:
            text += c;
        }
    }
    return text;
}

/// How a command ends its lines of names: a line feed with names escaped, or with -0 a NUL
/// and the names as they are.
struct LineStyle {
    bool nul = false;

    std::string name(std::string_view text) const {
        return nul ? std::string(text) : escaped(text);
    }
    char end() const { return nul ? '\0' : '\n'; }
};

} // namespace cli
