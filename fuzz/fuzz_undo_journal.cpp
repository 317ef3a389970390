// libFuzzer target for the undo journal: a journal that reads, written back from its
// entries, reads as the same journal; every field escapes and unescapes to itself.
#include <string>

#include "fuzz_support.h"
#include "undo_journal_format.h"
#include "undo_journal_read.h"

using fuzzing::check;
namespace format = core::journal_format;
namespace jr = core::journal_read;

namespace {

void check_fields(const std::string& text) {
    std::string out;
    check(format::unescape(format::escape(text), out) && out == text);
    if (text.find_first_of("\t\n\r") == std::string::npos && format::unescape(text, out))
        check(format::escape(out) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(fuzzing::text_of(data, size));
    check_fields(text);
    const auto journal = jr::parse_journal(text, "undo.journal");
    if (!journal) {
        check(journal.error().message.find("damaged at line") != std::string::npos);
        return 0;
    }
    (void)journal->started();
    std::string rebuilt = std::string(format::kFormatLine) + '\n' + jr::entry_line(journal->run);
    for (const auto& entry : journal->entries) {
        check(entry.kind != jr::Kind::Run);
        rebuilt += jr::entry_line(entry);
    }
    const auto again = jr::parse_journal(rebuilt, "undo.journal");
    check(again.ok() && again->run.fields == journal->run.fields &&
          again->entries.size() == journal->entries.size());
    for (std::size_t i = 0; i < again->entries.size(); ++i)
        check(again->entries[i].kind == journal->entries[i].kind &&
              again->entries[i].fields == journal->entries[i].fields);
    return 0;
}
