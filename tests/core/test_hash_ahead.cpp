#include "hash_ahead.h"

#include <gtest/gtest.h>

#include "rom_forge.h"
#include "temp_dir.h"

namespace {

class HashAheadTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto zelcore = core::Zelcore::load_beside_executable();
        ASSERT_TRUE(zelcore) << zelcore.error().message;
        auto id = core::Identifier::create(*zelcore, {"NES", "*.nes"});
        ASSERT_TRUE(id);
        identifier.emplace(std::move(id.value()));
        for (std::uint32_t i = 0; i < 300; ++i) {
            auto crc = 0x10000000u + i * 7919u;
            paths.push_back(dir.write("f" + std::to_string(i) + ".nes",
                                      testsupport::rom_with_crc(100 + i, crc, i))
                                .string());
            expected.push_back(core::CrcText::from_value(crc).str());
        }
        // A file that cannot be read keeps its place in the order.
        paths.insert(paths.begin() + 150, (dir.path() / "missing.nes").string());
        expected.insert(expected.begin() + 150, "error");
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

TEST_F(HashAheadTest, ResultsComeInListOrderWhateverTheThreads) {
    EXPECT_EQ(run(1, 256), expected);
    EXPECT_EQ(run(2, 256), expected);
    EXPECT_EQ(run(4, 1), expected);
    EXPECT_EQ(run(8, 3), expected);
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
