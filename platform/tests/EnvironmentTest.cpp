#include "platform/ClientFiles.h"
#include "platform/Environment.h"
#include "platform/Process.h"

#include <gtest/gtest.h>

using namespace quorvel::platform;

namespace {

TEST(Environment, ReadSetAndUnset) {
    const std::string name = "QUORVEL_PLATFORM_TEST_VAR";
    UnsetEnvironmentVariable(name);
    EXPECT_FALSE(HasEnvironmentVariable(name));
    EXPECT_EQ(GetEnvironmentVariable(name), "");
    ASSERT_TRUE(SetEnvironmentVariable(name, "a=b;c"));
    EXPECT_EQ(GetEnvironmentVariable(name), "a=b;c");
    ASSERT_TRUE(SetEnvironmentVariable(name, ""));
    EXPECT_TRUE(HasEnvironmentVariable(name));
    EXPECT_TRUE(UnsetEnvironmentVariable(name));
    EXPECT_FALSE(HasEnvironmentVariable(name));
    for (const char* bad : {"", "A=B"}) {
        EXPECT_FALSE(SetEnvironmentVariable(bad, "x")) << bad;
        EXPECT_EQ(GetEnvironmentVariable(bad), "") << bad;
    }
}

TEST(Environment, PathChangesAreSeenByTheProcess) {
    const std::string saved = GetProcessPath();
    ASSERT_TRUE(SetProcessPath("/opt/oracle/bin:" + saved));
    EXPECT_EQ(GetProcessPath(), "/opt/oracle/bin:" + saved);
    EXPECT_EQ(GetEnvironmentVariable("PATH"), "/opt/oracle/bin:" + saved);
    ASSERT_TRUE(SetProcessPath(saved));
    EXPECT_EQ(GetProcessPath(), saved);

    const std::string savedLib = GetLibrarySearchPath();
    ASSERT_TRUE(SetLibrarySearchPath("/home/lib"));
    EXPECT_EQ(GetEnvironmentVariable("LD_LIBRARY_PATH"), "/home/lib");
    SetLibrarySearchPath(savedLib);
}

TEST(Environment, PathListsSplitAndJoin) {
    EXPECT_EQ(SplitPathList("a:b::c:", ':'), (std::vector<std::string>{"a", "b", "", "c", ""}));
    EXPECT_TRUE(SplitPathList("", ':').empty());
    EXPECT_EQ(JoinPathList({"a", "", "b"}, ';'), "a;;b");
}

TEST(Process, ProgramParametersLeaveTheProgramNameApart) {
    const char* argv[] = {"quorvel-installer", "OCIDLL=/x/libclntsh.so", "UserId=scott/tiger@db", nullptr};
    SetProgramParameters(3, argv);
    EXPECT_EQ(ProgramName(), "quorvel-installer");
    EXPECT_EQ(ProgramParameterCount(), 2);
    EXPECT_EQ(ProgramParameter(1), "OCIDLL=/x/libclntsh.so");
    EXPECT_EQ(ProgramParameter(2), "UserId=scott/tiger@db");
    EXPECT_EQ(ProgramParameter(0), "");
    EXPECT_EQ(ProgramParameter(3), "");
    SetProgramParameters("p", {"ORACLEHOME=Home1"});
    EXPECT_EQ(ProgramParameters(), std::vector<std::string>{"ORACLEHOME=Home1"});
    SetProgramParameters(0, nullptr);
    EXPECT_EQ(ProgramParameterCount(), 0);
    EXPECT_FALSE(IsWow64());
}

TEST(ClientFiles, NamesMapBothWays) {
    struct Case {
        const char* windows;
        const char* native;
    } cases[] = {
        {"oci.dll", "libclntsh.so"}, {"ora805.dll", "ora805.so"}, {"ora*.dll", "ora*.so"},
        {"oramts10.dll", "liboramts10.so"}, {"oramts.dll", "liboramts.so"}, {"bin", "lib"},
        {"PATH", "LD_LIBRARY_PATH"}, {";", ":"}, {"\\", "/"}, {"oraNT73.dll", "oraNT73.so"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NativeClientName(c.windows), c.native) << c.windows;
        EXPECT_EQ(WindowsClientName(c.native), c.windows) << c.native;
    }
    EXPECT_EQ(NativeClientName("OCI.DLL"), "libclntsh.so");
    EXPECT_EQ(NativeClientName("ORAMTS.DLL"), "liboramts.so");
    EXPECT_EQ(NativeClientName("kernel32"), "kernel32");
    EXPECT_EQ(WindowsClientName("libfoo.so"), "libfoo.so");
    EXPECT_EQ(NativePathText("C:\\ora\\bin;D:\\x"), "C:/ora/bin:D:/x");
    EXPECT_EQ(ClientNameTable().size(), 8u);
}

} // namespace
