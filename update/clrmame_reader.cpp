#include "clrmame_reader.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "read_file.h"
#include "text.h"

namespace update {
namespace {

using core::Error;
using core::quoted;

// Real lists nest three deep (game, rom); a deeper one is no DAT and must not exhaust the
// stack.
constexpr int kMaxDepth = 8;

struct Field {
    std::string key;
    std::string value;        ///< a word or a quoted text
    std::vector<Field> block; ///< the pairs of a block value
    bool is_block = false;
};

struct Token {
    enum class Kind { Word, Text, Open, Close, End } kind = Kind::End;
    std::string_view text;
};

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

class Parser {
public:
    Parser(std::string_view text, const std::filesystem::path& source)
        : m_text(core::without_bom(text)), m_source(source) {}

    /// The top-level blocks of the file.
    core::Result<std::vector<Field>> parse() {
        std::vector<Field> top;
        for (Token key = next(); key.kind != Token::Kind::End; key = next()) {
            if (m_error)
                return *m_error;
            if (key.kind != Token::Kind::Word || next().kind != Token::Kind::Open)
                return m_error ? *m_error : fault("expected a word and '('");
            Field field{std::string(key.text), {}, {}, true};
            if (!read_block(field.block, 1))
                return *m_error;
            top.push_back(std::move(field));
        }
        if (m_error)
            return *m_error;
        return top;
    }

private:
    // Reads the pairs up to the ')' that closes the block.
    bool read_block(std::vector<Field>& pairs, int depth) {
        if (depth > kMaxDepth) {
            fault("blocks are nested more than " + std::to_string(kMaxDepth) + " deep");
            return false;
        }
        for (;;) {
            const Token key = next();
            if (key.kind == Token::Kind::Close)
                return true;
            if (key.kind != Token::Kind::Word) {
                if (!m_error)
                    fault(key.kind == Token::Kind::End ? "a block is not closed"
                                                       : "expected a key");
                return false;
            }
            const Token value = next();
            Field field{std::string(key.text), std::string(value.text), {}, false};
            if (value.kind == Token::Kind::Open) {
                field.is_block = true;
                if (!read_block(field.block, depth + 1))
                    return false;
            } else if (value.kind != Token::Kind::Word && value.kind != Token::Kind::Text) {
                if (!m_error)
                    fault("the key '" + field.key + "' has no value");
                return false;
            }
            pairs.push_back(std::move(field));
        }
    }

    Token next() {
        while (m_pos < m_text.size() && is_blank(m_text[m_pos]))
            m_line += m_text[m_pos++] == '\n' ? 1 : 0;
        if (m_pos >= m_text.size())
            return {};
        const char c = m_text[m_pos];
        if (c == '(' || c == ')') {
            ++m_pos;
            return {c == '(' ? Token::Kind::Open : Token::Kind::Close, {}};
        }
        if (c == '"')
            return quoted_text();
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && !is_blank(m_text[m_pos]) && m_text[m_pos] != '(' &&
               m_text[m_pos] != ')' && m_text[m_pos] != '"')
            ++m_pos;
        return {Token::Kind::Word, m_text.substr(start, m_pos - start)};
    }

    Token quoted_text() {
        const std::size_t start = m_pos + 1;
        const std::size_t end = m_text.find_first_of("\"\n", start);
        if (end == std::string_view::npos || m_text[end] != '"') {
            fault("a text in double quotes is not closed on its line");
            return {};
        }
        m_pos = end + 1;
        return {Token::Kind::Text, m_text.substr(start, end - start)};
    }

    Error fault(const std::string& what) {
        if (!m_error)
            m_error =
                Error::bad_input(quoted(m_source) + " is not a well-formed ClrMamePro DAT (line " +
                                 std::to_string(m_line) + "): " + what);
        return *m_error;
    }

    std::string_view m_text;
    const std::filesystem::path& m_source;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
    std::optional<Error> m_error;
};

// The first plain value of `key` in the block; "" when it has none.
std::string value_of(const std::vector<Field>& block, std::string_view key) {
    for (const auto& field : block)
        if (!field.is_block && field.key == key)
            return field.value;
    return "";
}

DatHeader header_of(const std::vector<Field>& b) {
    return {value_of(b, "name"),   value_of(b, "description"), value_of(b, "version"),
            value_of(b, "author"), value_of(b, "date"),        value_of(b, "homepage"),
            value_of(b, "url"),    value_of(b, "comment")};
}

DatGame game_of(const std::vector<Field>& b) {
    DatGame game{value_of(b, "name"), value_of(b, "description"), {}};
    for (const auto& field : b) {
        if (!field.is_block || field.key != "rom")
            continue;
        const auto& r = field.block;
        DatRom rom{value_of(r, "name"), value_of(r, "size"), value_of(r, "crc"),
                   value_of(r, "crc2")};
        if (!rom.name.empty())
            game.roms.push_back(std::move(rom));
    }
    return game;
}

} // namespace

bool looks_like_clrmamepro(std::string_view text) {
    text = core::without_bom(text);
    std::size_t i = 0;
    while (i < text.size() && is_blank(text[i]))
        ++i;
    std::size_t end = i;
    while (end < text.size() && !is_blank(text[end]) && text[end] != '(')
        ++end;
    const std::string_view word = text.substr(i, end - i);
    static constexpr std::array<std::string_view, 4> kOpenings = {"clrmamepro", "emulator", "game",
                                                                  "machine"};
    bool known = false;
    for (auto opening : kOpenings)
        known = known || core::iequals(word, opening);
    while (end < text.size() && is_blank(text[end]))
        ++end;
    return known && end < text.size() && text[end] == '(';
}

core::Result<DatFile> parse_clrmamepro(std::string_view text, const std::filesystem::path& source) {
    auto top = Parser(text, source).parse();
    if (!top)
        return top.error();
    DatFile dat;
    dat.format = DatFormat::ClrMamePro;
    bool have_header = false;
    for (const auto& block : *top) {
        if ((block.key == "clrmamepro" || block.key == "emulator") && !have_header) {
            dat.header = header_of(block.block);
            have_header = true;
        } else if (block.key == "game" || block.key == "machine") {
            dat.games.push_back(game_of(block.block));
        }
    }
    return dat;
}

} // namespace update
