#include "hash_ahead.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "core_fixture.h"
#include "hash_cache.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zip_maker.h"

namespace {

using testsupport::interleave_smd;
using testsupport::rom_with_crc;

// One identifier for 300 files, a fifth of which it converts or extracts in its private
// folder first, so that threads share that folder as well as the library; a few plain ones
// outgrow the library's read buffer.
class HashAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(corefixture::helper_library()) << "libzelcore.so is not beside the tests";
        auto id =
            core::Identifier::create(*corefixture::helper_library(), {"SGENESIS", "*.bin;*.smd"});
        ASSERT_TRUE(id);
        identifier.emplace(std::move(id.value()));
        for (std::uint32_t i = 0; i < 300; ++i) {
            const auto crc = 0x10000000u + i * 7919u;
            const std::string ext = i % 10 == 0 ? ".smd" : i % 10 == 5 ? ".zip" : ".bin";
            const auto path = dir.path() / ("f" + std::to_string(i) + ext);
            if (ext == ".bin")
                testsupport::write_file(path,
                                        rom_with_crc(i % 50 == 1 ? 600000 + i : 100 + i, crc, i));
            else if (ext == ".smd") // converted before hashing
                testsupport::write_file(path, interleave_smd(rom_with_crc(16384, crc, i)));
            else // extracted, then converted
                testsupport::make_zip(path,
                                      {{"g.smd", interleave_smd(rom_with_crc(16384, crc, i))}});
            paths.push_back(path.string());
            expected.push_back(core::CrcText::from_value(crc).str());
        }
        // A file that cannot be read keeps its place in the order; reading ahead must not
        // hang on a pipe (one it looks at even when it only samples).
        paths.insert(paths.begin() + 150, (dir.path() / "missing.bin").string());
        expected.insert(expected.begin() + 150, "error");
        const auto pipe = dir.path() / "pipe.bin";
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        paths.insert(paths.begin() + 208, pipe.string());
        expected.insert(expected.begin() + 208, "error");
    }

    std::vector<std::string> run(unsigned threads, std::size_t window) {
        core::HashAhead ahead(*identifier, paths, 0, threads, window);
        std::vector<std::string> got;
        for (std::size_t i = 0; i < ahead.size(); ++i) {
            auto r = ahead.next();
            got.push_back(r ? r->str() : "error");
        }
        EXPECT_FALSE(ahead.next()); // past the end
        return got;
    }

    testsupport::TempDir dir;
    std::optional<core::Identifier> identifier;
    std::vector<std::string> paths;
    std::vector<std::string> expected;
};

// The last runs share one cache: the first of them fills it, the second reads it.
TEST_F(HashAheadTest, ResultsComeInListOrderWhateverTheThreadsAndTheCache) {
    EXPECT_EQ(run(1, 256), expected);
    EXPECT_EQ(run(2, 1), expected);
    core::HashCache cache(dir.path() / "checksums.sqlite");
    identifier->set_cache(&cache);
    EXPECT_EQ(run(4, 256), expected);
    EXPECT_EQ(run(8, 3), expected);
    EXPECT_EQ(identifier->known_crc32(paths[1], 0)->str(), expected[1]);
    EXPECT_FALSE(identifier->known_crc32(paths[150], 0));
    EXPECT_EQ(cache.clear(), paths.size() - 2) << "every file but the missing one and the pipe";
}

TEST_F(HashAheadTest, StoppingEarlyLeavesTheRestUnhashed) {
    // Taking a few results and going away must neither hang nor crash.
    for (unsigned threads : {1u, 2u, 4u}) {
        core::HashAhead ahead(*identifier, paths, 0, threads, 4);
        ASSERT_TRUE(ahead.next());
        ASSERT_TRUE(ahead.next());
    }
    core::HashAhead empty(*identifier, {}, 0, 4);
    EXPECT_FALSE(empty.next());
}

} // namespace
