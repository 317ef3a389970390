// libFuzzer target for DAT files and software lists in every format: what parses holds
// only ROMs with names, and the text in blocks is read the same by both entry points.
#include "clrmame_reader.h"
#include "dat_reader.h"
#include "fuzz_support.h"

using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzzing::text_of(data, size);
    const auto dat = update::parse_dat(text, "fuzz.dat");
    if (!dat) {
        check(dat.error().message.find("fuzz.dat") != std::string::npos);
        return 0;
    }
    for (const auto& game : dat->games)
        for (const auto& rom : game.roms)
            check(!rom.name.empty() || dat->format == update::DatFormat::ClrMamePro);
    if (dat->format == update::DatFormat::ClrMamePro) {
        check(update::looks_like_clrmamepro(text));
        const auto again = update::parse_clrmamepro(text, "fuzz.dat");
        check(again.ok() && again->games.size() == dat->games.size());
    }
    return 0;
}
