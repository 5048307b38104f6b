// Modules loaded by path and their functions found by name: a system library
// of the C runtime's mathematics, and paths that hold no module.
#include <gtest/gtest.h>

#include <string>

#include "TestFiles.h"
#include "platform/LoadedModule.h"

namespace {

#ifdef _WIN32
constexpr const char kMathLibrary[] = "ucrtbase.dll";
#else
constexpr const char kMathLibrary[] = "libm.so.6";
#endif

TEST(LoadedModule, FunctionsOfALoadedModuleAreFoundByName) {
    void* module = platform::loadModule(kMathLibrary);
    ASSERT_NE(module, nullptr);
    const auto cosine = reinterpret_cast<double (*)(double)>(platform::moduleFunction(module, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(platform::moduleFunction(module, "no_such_function_anywhere"), nullptr);
    // Loaded again, it is the same module.
    EXPECT_EQ(platform::loadModule(kMathLibrary), module);
}

TEST(LoadedModule, PathsWithoutAModuleLoadNothing) {
    const ScratchFolder folder;
    EXPECT_EQ(platform::loadModule(folder.file("missing.so")), nullptr);
    EXPECT_EQ(platform::loadModule(folder.write("text.so", "not a module\n")), nullptr);
    EXPECT_EQ(platform::loadModule(folder.write("empty.so", "")), nullptr);
    EXPECT_EQ(platform::loadModule(folder.path().string()), nullptr);  // a folder
    EXPECT_EQ(platform::loadModule(std::string(kMathLibrary) + '\0' + "tail"), nullptr);
}

}  // namespace
