#include <gtest/gtest.h>

#include <dlfcn.h>
#include <zlib.h>

#include "../core/core_fixture.h"
#include "rom_forge.h"
#include "temp_dir.h"
#include "zelcore_library.h"
#include "zip_maker.h"

using core::Zelcore;
using testsupport::TempDir;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

const Zelcore& library() {
    if (const auto* zelcore = corefixture::helper_library())
        return *zelcore;
    throw std::runtime_error("libzelcore.so is not beside the tests");
}

} // namespace

TEST(ZelcoreLibrary, CallsTheLibraryAndNamesTheFileAndReasonOnFailure) {
    TempDir dir;
    const auto rom = dir.write("rom.bin", testsupport::rom_with_crc(2048, 0x87654321));
    auto crc = library().file_crc32(rom, 0, 2048);
    ASSERT_TRUE(crc) << crc.error().message;
    EXPECT_EQ(*crc, 0x87654321u);

    const auto missing = dir.path() / "x.bin";
    auto failed = library().file_crc32(missing, 0, 10);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().code, core::Error::Code::NotFound);
    EXPECT_EQ(failed.error().message,
              "cannot read '" + missing.string() + "': No such file or directory");

    failed = library().file_crc32(rom, 1024, 2048);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().code, core::Error::Code::BadInput);
    EXPECT_PRED2(contains, failed.error().message, "ends before");

    const auto bin = dir.path() / "rom.out";
    EXPECT_TRUE(library().smd2bin(rom, bin));
    const auto converted = library().smd2bin(missing, bin);
    ASSERT_FALSE(converted);
    EXPECT_PRED2(contains, converted.error().message, missing.string());

    const auto zip = dir.path() / "two.zip";
    testsupport::make_zip(zip, {{"a.bin", "a"}, {"b.bin", "b"}});
    const auto renamed = library().rename_inside_zip(zip, "New");
    ASSERT_FALSE(renamed);
    EXPECT_EQ(renamed.error().code, core::Error::Code::BadInput);
    EXPECT_PRED2(contains, renamed.error().message, "'" + zip.string() + "'");
    EXPECT_PRED2(contains, renamed.error().message, "exactly one");
}

TEST(ZelcoreLibrary, MissingLibraryOrEntryPointIsAClearError) {
    TempDir dir;
    auto loaded = Zelcore::load(dir.path());
    ASSERT_FALSE(loaded);
    EXPECT_PRED2(contains, loaded.error().message, (dir.path() / "libzelcore.so").string());

    // A real shared library that is not ours: it loads, but has none of our entry points.
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&::zlibVersion), &info), 0);
    std::filesystem::copy_file(info.dli_fname, dir.path() / "libzelcore.so");
    loaded = Zelcore::load(dir.path());
    ASSERT_FALSE(loaded);
    EXPECT_PRED2(contains, loaded.error().message, "file_crc32");
    EXPECT_PRED2(contains, loaded.error().message, (dir.path() / "libzelcore.so").string());

    // A file that is no library at all.
    testsupport::write_file(dir.path() / "libzelcore.so", "not a library");
    loaded = Zelcore::load(dir.path());
    ASSERT_FALSE(loaded);
    EXPECT_PRED2(contains, loaded.error().message, "libzelcore.so");
}
