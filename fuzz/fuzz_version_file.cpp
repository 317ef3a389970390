// libFuzzer target for a database's version file: the check of one database against it,
// the server answering the input to every request (the download too).
#include <filesystem>

#include "database_check.h"
#include "fuzz_server.h"
#include "recorders.h"

using fuzzing::check;
using State = update::DatabaseCheck::State;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzing::ServedInput served;
    served.serve(fuzzing::text_of(data, size));
    const auto local = update::local_database_path("fuzz");
    std::error_code ignored;
    std::filesystem::remove(local, ignored); // every input starts without a local database

    const update::DatabaseChecker checker(served.addresses(), served.http());
    testsupport::RecordingProgress progress;
    const core::SystemEntry system{"Fuzz games", "fuzz", "*.bin", local};
    const update::DatabaseCheck result = checker.check_one(system, progress);
    check(result.old_version.empty());
    check(result.new_version.find_first_of(" \r\n") == std::string::npos);
    switch (result.state) {
    case State::Failed:
        check(!result.reason.empty());
        check(!std::filesystem::exists(local.string() + ".new"));
        break;
    case State::Updated:
        check(std::filesystem::exists(local) && !result.new_version.empty());
        break;
    case State::Current:
        check(result.new_version.empty() && !std::filesystem::exists(local));
        break;
    }
    return 0;
}
