#include "undo_journal_format.h"

namespace core::journal_format {

// Fields are separated by tabs and entries by line feeds; both may occur in Linux paths.
std::string escape(std::string_view field) {
    std::string out;
    for (char c : field) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool unescape(std::string_view field, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

std::string line(std::initializer_list<std::string_view> fields) {
    std::string out;
    for (auto f : fields) {
        if (!out.empty())
            out += '\t';
        out += escape(f);
    }
    return out + '\n';
}

} // namespace core::journal_format
