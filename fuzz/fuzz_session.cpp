// libFuzzer target for session files: any bytes read as a session, written back and read
// again must give the same records, and writing those gives the same file.
#include "cp1252.h"
#include "fuzz_support.h"
#include "session_file.h"

using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto read = lists::read_session(fuzzing::write_input("in.rcl", fuzzing::text_of(data, size)));
    check(read.ok());
    for (const auto& r : *read)
        check(r.from_session && core::is_valid_utf8(r.crc) && core::is_valid_utf8(r.path));

    const auto first = fuzzing::scratch_folder() / "first.rcl";
    check(lists::write_session(first, *read).ok());
    const auto again = lists::read_session(first);
    check(again.ok() && again->size() == read->size());
    for (std::size_t i = 0; i < read->size(); ++i)
        check((*again)[i].path == (*read)[i].path);

    const auto second = fuzzing::scratch_folder() / "second.rcl";
    check(lists::write_session(second, *again).ok());
    check(fuzzing::read_back(second) == fuzzing::read_back(first));
    return 0;
}
