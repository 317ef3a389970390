// The main of every GoogleTest program. Each test runs as its own process, and each process
// gets a temporary folder of its own through TMPDIR: a run sweeps what killed runs left in
// the temporary folder and logs the count, so tests running side by side must not see each
// other's folders.
#include <gtest/gtest.h>

#include "temp_dir.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const testsupport::TempDir tmp;
    const testsupport::ScopedTmpdir in_tmp(tmp.path());
    return RUN_ALL_TESTS();
}
