// libFuzzer target for ClrMamePro DATs read directly, also when they do not open as one:
// a refusal names the file and the line, a success keeps the format.
#include "clrmame_reader.h"
#include "fuzz_support.h"

using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzzing::text_of(data, size);
    (void)update::looks_like_clrmamepro(text);
    const auto dat = update::parse_clrmamepro(text, "fuzz.dat");
    if (!dat) {
        check(dat.error().message.find("fuzz.dat") != std::string::npos);
        return 0;
    }
    check(dat->format == update::DatFormat::ClrMamePro);
    for (const auto& game : dat->games)
        check(game.roms.size() <= size);
    return 0;
}
