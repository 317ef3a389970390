#include "shell_fixture.h"

namespace shelltest {
namespace {

TEST(ClassFactory, RefusesUnknownClassesAndAggregation) {
    const CLSID unknown = {0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
    ComPtr<IUnknown> object;
    EXPECT_EQ(shell().create(unknown, IID_IUnknown, object.put()), CLASS_E_CLASSNOTAVAILABLE);
}

} // namespace
} // namespace shelltest
