#include "dat_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <pugixml.hpp>

#include "clrmame_reader.h"
#include "read_file.h"
#include "text.h"

namespace update {
namespace {

using core::Error;
using core::quoted;

std::string attribute(const pugi::xml_node& node, const char* name) {
    return node.attribute(name).as_string();
}

std::string child_text(const pugi::xml_node& node, const char* name) {
    return node.child(name).text().as_string();
}

void add_roms(const pugi::xml_node& parent, std::vector<DatRom>& roms) {
    for (auto rom : parent.children("rom")) {
        DatRom r{attribute(rom, "name"), attribute(rom, "size"), attribute(rom, "crc"),
                 attribute(rom, "crc2")};
        if (!r.name.empty())
            roms.push_back(std::move(r));
    }
}

DatFile read_logiqx(const pugi::xml_node& root) {
    DatFile dat;
    dat.format = DatFormat::Logiqx;
    auto h = root.child("header");
    dat.header = {child_text(h, "name"),   child_text(h, "description"), child_text(h, "version"),
                  child_text(h, "author"), child_text(h, "date"),        child_text(h, "homepage"),
                  child_text(h, "url"),    child_text(h, "comment")};
    for (auto node : root.children()) {
        if (std::strcmp(node.name(), "game") != 0 && std::strcmp(node.name(), "machine") != 0)
            continue;
        DatGame game{attribute(node, "name"), child_text(node, "description"), {}};
        add_roms(node, game.roms);
        dat.games.push_back(std::move(game));
    }
    return dat;
}

DatFile read_software_list(const pugi::xml_node& root) {
    DatFile dat;
    dat.format = DatFormat::SoftwareList;
    dat.header.name = attribute(root, "name");
    dat.header.description = attribute(root, "description");
    for (auto software : root.children("software")) {
        DatGame game{attribute(software, "name"), child_text(software, "description"), {}};
        for (auto part : software.children("part"))
            for (auto area : part.children("dataarea"))
                add_roms(area, game.roms);
        dat.games.push_back(std::move(game));
    }
    return dat;
}

// Where the parser stopped, as a person looks for it in an editor.
std::string position_of(std::string_view xml, std::ptrdiff_t offset) {
    const auto end = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, offset));
    std::size_t line = 1, line_start = 0;
    for (std::size_t i = 0; i < end && i < xml.size(); ++i)
        if (xml[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    return "line " + std::to_string(line) + ", column " + std::to_string(end - line_start + 1);
}

// A DAT in none of the formats read here: a ZIP archive, a web page saved as text...
Error not_a_dat(const std::filesystem::path& source, const std::string& why) {
    return Error::bad_input(quoted(source) + " is not a DAT file this program reads (" + why + ")");
}

bool starts_as_xml(std::string_view text) {
    text = core::without_bom(text);
    const auto first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && text[first] == '<';
}

core::Result<DatFile> parse_xml(std::string_view xml, const std::filesystem::path& source) {
    pugi::xml_document doc;
    auto parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed)
        return Error::bad_input(quoted(source) + " is not well-formed XML (" +
                                position_of(xml, parsed.offset) + "): " + parsed.description());
    auto root = doc.document_element();
    if (std::strcmp(root.name(), "datafile") == 0)
        return read_logiqx(root);
    if (std::strcmp(root.name(), "softwarelist") == 0)
        return read_software_list(root);
    return not_a_dat(source, std::string("its root element is <") + root.name() +
                                 ">, not <datafile> or <softwarelist>");
}

} // namespace

core::Result<DatFile> parse_dat(std::string_view text, const std::filesystem::path& source) {
    if (starts_as_xml(text))
        return parse_xml(text, source);
    if (looks_like_clrmamepro(text))
        return parse_clrmamepro(text, source);
    return not_a_dat(source, "neither XML nor ClrMamePro text");
}

core::Result<DatFile> read_dat_file(const std::filesystem::path& file) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.c_str(), "rb"),
                                                       &std::fclose);
    if (!in)
        return Error::not_found("cannot open " + quoted(file) + ": " + std::strerror(errno));
    std::string bytes;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in.get())) > 0)
        bytes.append(buffer, n);
    if (std::ferror(in.get()))
        return Error::failed("cannot read " + quoted(file) + ": " + std::strerror(errno));
    return parse_dat(bytes, file);
}

} // namespace update
