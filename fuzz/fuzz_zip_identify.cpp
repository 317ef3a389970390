// Feeds arbitrary bytes to the ZIP reader and to identification as a ".zip" file, for the
// systems with special rules and for a plain one. Besides crashes and sanitizer reports it
// checks what a user relies on: a result is an 8-digit CRC text or an error naming the
// archive, and no temporary file is left behind.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "identify.h"
#include "temp_folder.h"
#include "zip_archive.h"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz_zip_identify: %s\n", what.c_str());
    std::abort();
}

struct State {
    std::unique_ptr<core::TempFolder> root; // everything of ours lives below this
    std::unique_ptr<core::TempFolder> inputs;
    std::vector<core::Identifier> identifiers;
};

State make_state() {
    State made;
    auto* state = &made;
    auto root = core::TempFolder::create("fuzz-zip-identify");
    if (!root)
        fail(root.error().message);
    state->root = std::make_unique<core::TempFolder>(std::move(root.value()));
    // The identifiers' private folders go below our root, where leftovers can be seen.
    ::setenv("TMPDIR", state->root->path().c_str(), 1);
    auto inputs = core::TempFolder::create("inputs");
    if (!inputs)
        fail(inputs.error().message);
    state->inputs = std::make_unique<core::TempFolder>(std::move(inputs.value()));

    auto zelcore = core::Zelcore::load_beside_executable();
    if (!zelcore)
        fail(zelcore.error().message);
    const std::vector<core::SystemRules> systems = {
        {"SGENESIS", "*.bin;*.gen;*.smd"},
        {"TURBOGFX", "*.pce"},
        {"JAGUAR", "*.j64;*.jag"},
        {"NES", "*.nes;*.bin"},
    };
    for (const auto& system : systems) {
        auto identifier = core::Identifier::create(*zelcore, system);
        if (!identifier)
            fail(identifier.error().message);
        state->identifiers.push_back(std::move(identifier.value()));
    }
    return made;
}

State& state() {
    // Destroyed at exit, which removes the folders: the private ones first, the root last.
    static State s = make_state();
    return s;
}

void write_all(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open " + path.string());
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            fail("cannot write " + path.string());
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    ::close(fd);
}

bool is_crc_text(std::string_view text) {
    if (text.size() != 8)
        return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

void check_no_leftovers(const fs::path& root, const fs::path& input) {
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (!e.is_directory() && e.path() != input)
            fail("left behind: " + e.path().string());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    State& s = state();
    auto input = s.inputs->new_file(".zip");
    if (!input)
        fail(input.error().message);
    const core::RemoveOnExit remove_input(*input);
    write_all(*input, data, size);

    auto all = core::list_zip(*input, "");
    if (all) {
        for (const auto& member : *all)
            if (member.name.empty() || !is_crc_text(member.crc.view()))
                fail("bad member entry");
    } else if (all.error().message.find(input->string()) == std::string::npos) {
        fail("error does not name the archive: " + all.error().message);
    }

    for (const auto& identifier : s.identifiers) {
        for (const std::uint16_t skip : {std::uint16_t{0}, std::uint16_t{512}}) {
            auto crc = identifier.get_crc32(*input, skip);
            if (crc) {
                if (!is_crc_text(crc->view()))
                    fail("not a CRC text: " + crc->str());
            } else if (crc.error().message.find(input->string()) == std::string::npos) {
                fail("error does not name the archive: " + crc.error().message);
            }
        }
    }
    // For the plain system without a skip the answer comes from the directory alone.
    auto plain = core::list_zip(*input, "*.nes;*.bin");
    auto plain_crc = s.identifiers.back().get_crc32(*input, 0);
    if (plain && plain_crc.ok() != true)
        fail("listed, yet not identified: " + plain_crc.error().message);
    if (plain && *plain_crc != (plain->empty() ? core::CrcText() : plain->front().crc))
        fail("not the directory CRC: " + plain_crc->str());

    check_no_leftovers(s.root->path(), *input);
    return 0;
}
