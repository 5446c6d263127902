#include "platform/Module.h"

#include "platform/ClientFiles.h"
#include "platform/tests/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorvel::platform;
using quorvel::platform::testing::TempDir;

namespace {

const std::string kModule = QUORVEL_TEST_MODULE; // full path of the test shared object

TEST(Module, LoadsARealSharedObjectAndFindsItsSymbols) {
    static_assert(!IsModuleLoaded(ModuleNotLoaded) && IsModuleLoaded(32) && !IsModuleLoaded(0));
    const ModuleHandle handle = LoadModule(kModule);
    ASSERT_TRUE(IsModuleLoaded(handle)) << LastModuleError();
    EXPECT_EQ(LastModuleError(), "");
    auto answer = reinterpret_cast<int (*)()>(ModuleSymbol(handle, "quorvel_test_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(*static_cast<int*>(ModuleSymbol(handle, "quorvel_test_counter")), 7);
    EXPECT_EQ(ModuleSymbol(handle, "OCIEnvCreate"), nullptr);
    EXPECT_NE(LastModuleError(), "");
    EXPECT_EQ(std::filesystem::canonical(ModuleFileName(handle)), std::filesystem::canonical(kModule));
    EXPECT_TRUE(FreeModule(handle));
}

TEST(Module, FailuresAreCleanAndExplained) {
    TempDir dir;
    dir.Write("libclntsh.so", "this is not a shared object\n");
    struct Case {
        std::string path;
    } cases[] = {{dir / "libclntsh.so"}, {dir / "missing.so"}, {dir.Path()}, {""}};
    for (const auto& c : cases) {
        EXPECT_EQ(LoadModule(c.path), 0u) << c.path;
        EXPECT_NE(LastModuleError(), "") << c.path;
    }
    EXPECT_EQ(ModuleSymbol(ModuleNotLoaded, "x"), nullptr);
    EXPECT_FALSE(FreeModule(ModuleNotLoaded));
    EXPECT_EQ(ModuleFileName(0), "");
}

TEST(Module, BareNamesAreSearchedInTheCurrentLibraryPath) {
    TempDir dir;
    std::filesystem::copy_file(kModule, dir / "libquorvel_found.so");
    const std::string saved = GetLibrarySearchPath();
    EXPECT_EQ(LoadModule("libquorvel_found.so"), 0u); // not on the path yet
    ASSERT_TRUE(SetLibrarySearchPath("/nonexistent::" + dir.Path()));
    const ModuleHandle handle = LoadModule("libquorvel_found.so");
    SetLibrarySearchPath(saved);
    ASSERT_TRUE(IsModuleLoaded(handle)) << LastModuleError();
    EXPECT_NE(ModuleSymbol(handle, "quorvel_test_answer"), nullptr);
    FreeModule(handle);
}

} // namespace
