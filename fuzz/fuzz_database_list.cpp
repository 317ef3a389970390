// libFuzzer target for the server's database list (list.php) as the update window reads
// it: columns, rows, and which rows may be marked and downloaded.
#include <algorithm>
#include <set>

#include "database_list.h"
#include "fuzz_server.h"
#include "recorders.h"
#include "text.h"

using fuzzing::check;

namespace {

bool plain_file_name(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

void check_rows(const update::DatabaseList& list) {
    check(!list.columns().empty() && list.columns().back() == "Status");
    std::set<std::string> downloadable;
    for (const auto& row : list.rows()) {
        check(row.fields.size() + 1 == list.columns().size() && !row.status.empty());
        check(!row.marked || row.downloadable);
        if (!row.downloadable)
            continue;
        check(plain_file_name(row.name));
        std::string lower = row.name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        check(downloadable.insert(lower).second); // never two downloads to one file
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzzing::ServedInput served;
    served.serve(fuzzing::text_of(data, size));
    update::DatabaseList list(served.addresses(), served.http());
    testsupport::RecordingPrompter prompter;
    testsupport::RecordingProgress progress;
    const core::Outcome outcome = list.refresh_list(prompter, progress);
    if (outcome.end != core::End::Completed) {
        check(list.rows().empty() && list.columns().empty() && prompter.messages.size() == 1);
        return 0;
    }
    check_rows(list);
    if (list.columns().size() > 1) {
        list.sort_by(0);
        list.sort_by(0);
        check(list.sort_descending());
    }
    return 0;
}
