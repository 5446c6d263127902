// Finding the client: homes in the registry, ORACLE_HOME, the library path, the candidate
// files and the choice among them, the messages and traces of failed loads.
#include "oracle/ci/tests/LoaderFixture.h"

#include "oracle/ci/OracleCI.h"
#include "platform/ClientFiles.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/Registry.h"

using namespace quorvel;
using quorvel::testing_support::LoadFailure;
using quorvel::testing_support::LoaderTest;

class Search : public LoaderTest {
protected:
    void SetUp() override
    {
        LoaderTest::SetUp();
        // Nothing in the working directory may be taken for a client.
        platform::SetCurrentDirectory(MakeDir("cwd"));
    }
    void SetHomeCounter(const std::string& value)
    {
        platform::RegWriteString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\ALL_HOMES", "HOME_COUNTER", value);
    }
};

TEST_F(Search, NothingInstalled)
{
    EXPECT_EQ(LoadFailure(), "Initialization error\r\nOracle Client not properly installed\r\n\r\n"
                             "OracleHomeKey: \r\nOracleHomeDir: ");
    EXPECT_FALSE(OCILoaded());
    // An OCIDLL parameter without a value forces nothing.
    SetParameters({"OCIDLL="});
    EXPECT_EQ(LoadFailure(), "Initialization error\r\nOracle Client not properly installed\r\n\r\n"
                             "OracleHomeKey: \r\nOracleHomeDir: ");
}

TEST_F(Search, HomeSelection)
{
    const std::string alpha = MakeDir("alpha");
    const std::string beta = MakeDir("beta");
    SetHomeCounter("2");
    RegisterNumberedHome(0, "Beta", beta);
    RegisterNumberedHome(1, "alpha", alpha);

    // Neither lib directory on the library path: the name that sorts last (ignoring case).
    EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\HOME0");
    EXPECT_EQ(OracleHomeName, "Beta");
    EXPECT_EQ(OracleHomeDir(), beta);
    UnloadOCI();
    EXPECT_EQ(OracleHomeName, "") << "filled automatically, so emptied again";

    // Both on the path: the one that occurs first in the path text.
    SetEnv("LD_LIBRARY_PATH", "/usr/nothing:" + alpha + "/lib:" + beta + "/lib");
    EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\HOME1");
    UnloadOCI();
    SetEnv("LD_LIBRARY_PATH", beta + "/lib:" + alpha + "/lib");
    EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\HOME0");
    UnloadOCI();

    // The ORACLEHOME parameter names a home, ignoring case, over the path.
    SetParameters({"ORACLEHOME=ALPHA"});
    EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\HOME1");
    UnloadOCI();

    // The OracleHomeName setting does the same; it is kept when set by the application.
    SetParameters({});
    OracleHomeName = "alpha";
    EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\HOME1");
    UnloadOCI();
    EXPECT_EQ(OracleHomeName, "alpha");
}

TEST_F(Search, HomeListSources)
{
    const std::string numbered = MakeDir("numbered");
    const std::string keyed = MakeDir("keyed");
    RegisterNumberedHome(0, "Numbered", numbered);
    RegisterKeyHome("Keyed", keyed);
    RegisterKeyHome("Gone", Root() + "/does-not-exist");

    // A counter that is not a number skips the numbered homes, the KEY_ homes still count.
    SetHomeCounter("two");
    EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\KEY_Keyed");
    EXPECT_EQ(OracleHomeDir(), keyed);
    UnloadOCI();

    SetHomeCounter("1");
    SetParameters({"ORACLEHOME=numbered"});
    EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\HOME0");
    UnloadOCI();

    // A home whose directory vanished is not listed; with nothing else the key is invalid.
    platform::RegDeleteKey(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME0");
    platform::RegDeleteKey(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\KEY_Keyed");
    SetParameters({});
    EXPECT_EQ(OracleHomeKey(), "");
}

TEST_F(Search, HomeDirectoryWithoutRegistry)
{
    // ORACLE_HOME from the environment; the lib subdirectory is used when it exists.
    const std::string home = MakeDir("envhome/lib");
    SetEnv("ORACLE_HOME", Root() + "/envhome");
    EXPECT_EQ(OracleHomeDir(), Root() + "/envhome");
    EXPECT_TRUE(OracleHomeUsesBin());
    SetEnv("ORACLE_HOME", Root() + "/cwd");
    EXPECT_EQ(OracleHomeDir(), Root() + "/cwd");
    EXPECT_FALSE(OracleHomeUsesBin());

    // "." counts as unset: the client file is then looked for along the library path.
    SetEnv("ORACLE_HOME", ".");
    MakeFile("pathhome/lib/libclntsh.so");
    MakeFile("plain/libclntsh.so");
    SetEnv("LD_LIBRARY_PATH", "::" + Root() + "/empty:" + Root() + "/pathhome/lib:" + Root() + "/plain");
    EXPECT_EQ(OracleHomeDir(), Root() + "/pathhome");
    EXPECT_TRUE(OracleHomeUsesBin());
    SetEnv("LD_LIBRARY_PATH", Root() + "/plain/:" + Root() + "/pathhome/lib");
    EXPECT_EQ(OracleHomeDir(), Root() + "/plain");
    EXPECT_FALSE(OracleHomeUsesBin());

    // A client file in the working directory leaves the home empty.
    UnsetEnv("ORACLE_HOME");
    MakeFile("cwd/libclntsh.so");
    EXPECT_EQ(OracleHomeDir(), "");
}

TEST_F(Search, ChoiceAmongCandidates)
{
    struct Case {
        const char* name;
        std::vector<std::string> files;   // under <home>/lib
        std::string excluded;
        std::string expected;             // file name taken
    };
    const Case cases[] = {
        {"client file wins", {"ora81.so", "libclntsh.so"}, "", "libclntsh.so"},
        {"highest version", {"ora73.so", "ora805.so", "ora81.so"}, "", "ora81.so"},
        {"NT prefix", {"ora805.so", "oraNT92.so"}, "", "oraNT92.so"},
        {"non-digit versions never qualify", {"ora8x1.so", "ora9a.so", "ora7.so"}, "", "ora7.so"},
        {"exclusions on the first pass", {"ora805.so", "ora81.so"}, "\"ora81.so\"", "ora805.so"},
        {"client file excluded", {"libclntsh.so", "ora81.so"}, "\"LIBCLNTSH.SO\"", "ora81.so"},
        {"all excluded: second pass ignores them", {"ora805.so", "ora81.so"}, "\"ORA81.SO\"\"ORA805.SO\"", "ora81.so"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string home = MakeDir("choice" + std::to_string(index++));
        for (const std::string& file : c.files)
            MakeFile(home.substr(Root().size() + 1) + "/lib/" + file, "not a shared object");
        SetEnv("ORACLE_HOME", home);
        ExcludedOCIDLLs = c.excluded;
        const std::string message = LoadFailure();
        const std::string used = home + "/lib/" + c.expected;
        EXPECT_NE(message.find("\r\nUsing: " + used + "\r\n"), std::string::npos) << message;
        EXPECT_EQ(message.rfind("Initialization error\r\nCould not initialize \"" + used + "\"\r\n\r\n", 0), 0u) << message;
        EXPECT_EQ(OCIDLL, "") << "an automatic choice is forgotten after a failed load";
    }
}

TEST_F(Search, TraceOfAHomeWithUnloadableClient)
{
    const std::string home = MakeDir("home");
    MakeFile("home/lib/libclntsh.so", "garbage");
    MakeFile("home/lib/ora81.so", "garbage");
    MakeFile("home/lib/oramts.so", "garbage");  // "mts" is no version
    SetEnv("ORACLE_HOME", home);
    const std::string client = home + "/lib/libclntsh.so";
    EXPECT_EQ(LoadFailure(), "Initialization error\r\nCould not initialize \"" + client +
                                 "\"\r\n\r\n"
                                 "OracleHomeKey: \r\n"
                                 "OracleHomeDir: " +
                                 home +
                                 "\r\n"
                                 "Found: libclntsh.so\r\n"
                                 "Found: ora81.so\r\n"
                                 "Using: " +
                                 client + "\r\nLoadLibrary(" + client + ") returned 0");
}

TEST_F(Search, HomeWithoutClient)
{
    // The lib directory holds nothing: the home directory itself is searched once more.
    const std::string home = MakeDir("home/lib");
    SetEnv("ORACLE_HOME", Root() + "/home");
    EXPECT_EQ(LoadFailure(), "Initialization error\r\nCould not locate OCI dll\r\n\r\nOracleHomeKey: \r\n"
                             "OracleHomeDir: " +
                                 Root() + "/home");
    LinkFile("home/libclntsh.so", FakeClient("full"));
    EXPECT_EQ(LoadFailure(), "");
    EXPECT_EQ(OCIDLL, Root() + "/home/libclntsh.so");
    EXPECT_FALSE(OracleHomeUsesBin());
}

TEST_F(Search, RegisteredHomeLoadsAndUnloads)
{
    const std::string home = MakeDir("home");
    LinkFile("home/lib/libclntsh.so", FakeClient("full"));
    SetHomeCounter("1");
    RegisterNumberedHome(0, "OraHome", home);
    EXPECT_EQ(LoadFailure(), "");
    EXPECT_TRUE(OCILoaded());
    EXPECT_EQ(OCIDLL, home + "/lib/libclntsh.so");
    EXPECT_EQ(OCIInitializationTrace(), "OracleHomeKey: SOFTWARE\\ORACLE\\HOME0\r\nOracleHomeDir: " + home +
                                            "\r\nFound: libclntsh.so\r\nUsing: " + home + "/lib/libclntsh.so");
    EXPECT_EQ(platform::GetLibrarySearchPath(), home + "/lib");
    UnloadOCI();
    EXPECT_EQ(OCIDLL, "");
    EXPECT_EQ(OracleHomeName, "");
    EXPECT_FALSE(HasOCI8);
}

TEST_F(Search, ForcedClientThatDoesNotExist)
{
    const std::string dir = MakeDir("forced");
    const std::string missing = dir + "/libclntsh.so";
    SetParameters({"OCIDLL=" + missing});
    EXPECT_EQ(LoadFailure(), "Initialization error\r\nCould not load \"" + missing + "\"\r\n\r\nOCIDLL forced to " +
                                 missing + "\r\nLoadLibrary(" + missing + ") returned 0");
    // The load was retried from the file's directory, which stays current until restored.
    EXPECT_EQ(platform::GetCurrentDirectory(), dir);
    RestoreCurrentDir();
    EXPECT_EQ(platform::GetCurrentDirectory(), Root() + "/cwd");
    EXPECT_EQ(OCIDLL, missing) << "a value from the command line is forced and survives";

    // The directory is not restored when something else changed it meanwhile.
    LoadFailure();
    platform::SetCurrentDirectory(Root());
    RestoreCurrentDir();
    EXPECT_EQ(platform::GetCurrentDirectory(), Root());

    // A forced path in a directory that does not exist fails the same way, without a crash.
    const std::string nowhere = Root() + "/nowhere/libclntsh.so";
    SetParameters({"OCIDLL=" + nowhere});
    EXPECT_EQ(LoadFailure(), "Initialization error\r\nCould not load \"" + nowhere + "\"\r\n\r\nOCIDLL forced to " +
                                 nowhere + "\r\nLoadLibrary(" + nowhere + ") returned 0");
    RestoreCurrentDir();
}

TEST_F(Search, ForcedClientThatIsNotASharedObject)
{
    const std::string garbage = MakeFile("bad/libclntsh.so", std::string(4096, '\x7f'));
    OCIDLL = garbage;
    EXPECT_EQ(LoadFailure(), "Initialization error\r\nCould not initialize \"" + garbage +
                                 "\"\r\n\r\nOCIDLL forced to " + garbage + "\r\nLoadLibrary(" + garbage + ") returned 0");
    const std::string empty = MakeFile("empty/libclntsh.so");
    OCIDLL = empty;
    EXPECT_NE(LoadFailure().find("Could not initialize \"" + empty + "\""), std::string::npos);
}

TEST_F(Search, LibraryPathIsChangedOnlyOnce)
{
    const std::string dir = FakeClientDir("full");
    SetEnv("LD_LIBRARY_PATH", "/a:" + dir + ":/b:/x" + dir);
    OCIDLL = FakeClient("full");
    for (int round = 0; round < 3; ++round) {
        EnsureOCILoaded();
        UnloadOCI();
    }
    // At the front once; an entry that merely ends with the same text stays whole.
    EXPECT_EQ(platform::GetLibrarySearchPath(), dir + ":/a:/b:/x" + dir);

    OCIAddToPath = false;
    SetEnv("LD_LIBRARY_PATH", "/untouched");
    EnsureOCILoaded();
    EXPECT_EQ(platform::GetLibrarySearchPath(), "/untouched");
}

TEST_F(Search, AddDirToPathStartsFromTheFirstValue)
{
    SetEnv("LD_LIBRARY_PATH", "");
    AddDirToPath("/one");
    EXPECT_EQ(platform::GetLibrarySearchPath(), "/one");
    AddDirToPath("/two");
    EXPECT_EQ(platform::GetLibrarySearchPath(), "/two");
    AddDirToPath("");
    EXPECT_EQ(platform::GetLibrarySearchPath(), "");
}

TEST_F(Search, NLSLang)
{
    SetEnv("NLS_LANG", "american_america.al32utf8");
    EXPECT_EQ(NLSLang(), "AMERICAN_AMERICA.AL32UTF8");
    EXPECT_TRUE(NLSLangIsUTF8());
    SetEnv("NLS_LANG", "RUSSIAN_CIS.CL8MSWIN1251");
    EXPECT_EQ(NLSLang(), "AMERICAN_AMERICA.AL32UTF8") << "read once per load";
    UnloadOCI();
    EXPECT_FALSE(NLSLangIsUTF8());
    EXPECT_EQ(NLSLang(), "RUSSIAN_CIS.CL8MSWIN1251");
    UnloadOCI();

    // Without the variable: the value under the selected home's key.
    UnsetEnv("NLS_LANG");
    const std::string home = MakeDir("home");
    SetHomeCounter("1");
    RegisterNumberedHome(0, "H", home);
    platform::RegWriteString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME0", "NLS_LANG", "german_germany.utf8");
    EXPECT_EQ(NLSLang(), "GERMAN_GERMANY.UTF8");
    EXPECT_TRUE(NLSLangIsUTF8());
}

TEST_F(Search, CommandLineValue)
{
    SetParameters({"first", "userid=scott/tiger@db", "OCIDLL=/opt/oracle/libclntsh.so", "--oracleHome=Prod"});
    EXPECT_EQ(CommandLineValue("UserId"), "scott/tiger@db");
    EXPECT_EQ(CommandLineValue("ocidll"), "/opt/oracle/libclntsh.so");
    EXPECT_EQ(CommandLineValue("ORACLEHOME"), "Prod");
    EXPECT_EQ(CommandLineValue("missing"), "");
    SetParameters({"OCIDLL=" + std::string(300, 'x')});
    EXPECT_EQ(CommandLineValue("OCIDLL").size(), 255u);
}

TEST_F(Search, RegistryStrings)
{
    platform::RegWriteString(platform::HKEY_CURRENT_USER, "Software\\Test", "Name", "value");
    EXPECT_EQ(ReadRegString(platform::HKEY_CURRENT_USER, "SOFTWARE\\TEST", "name"), "value");
    EXPECT_EQ(ReadRegString(platform::HKEY_LOCAL_MACHINE, "Software\\Test", "Name"), "");
    EXPECT_EQ(ReadRegString(platform::HKEY_CURRENT_USER, "Software\\Nothing", "Name"), "");
}

TEST_F(Search, DuplicateHomeNamesKeepTheFirst)
{
    const std::string numbered = MakeDir("numbered");
    const std::string keyed = MakeDir("keyed");
    SetHomeCounter("1");
    RegisterNumberedHome(0, "Ora", numbered);
    RegisterKeyHome("ORA", keyed);
    SetParameters({"ORACLEHOME=ora"});
    EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\HOME0");
    EXPECT_EQ(OracleHomeDir(), numbered);
}

TEST_F(Search, ForcedClientNamingADirectory)
{
    const std::string dir = MakeDir("just-a-directory");
    SetParameters({"OCIDLL=" + dir});
    EXPECT_EQ(LoadFailure(), "Initialization error\r\nCould not load \"" + dir + "\"\r\n\r\nOCIDLL forced to " + dir +
                                 "\r\nLoadLibrary(" + dir + ") returned 0");
    RestoreCurrentDir();
    EXPECT_EQ(platform::GetCurrentDirectory(), Root() + "/cwd");
    RestoreCurrentDir();  // nothing saved any more: no change
    EXPECT_EQ(platform::GetCurrentDirectory(), Root() + "/cwd");
}

TEST_F(Search, UnloadEmptiesDependentCaches)
{
    static int calls = 0;
    const int before = calls;
    AddOCIUnloadHandler([] { ++calls; });
    UnloadOCI();
    EXPECT_EQ(calls, before + 1);
    // A failed load leaves the state as after unloading, handlers included.
    LoadFailure();
    EXPECT_EQ(calls, before + 2);
}

TEST_F(Search, NumberedHomesAreCountedUntilFound)
{
    // The counter says how many valid homes to collect; numbers whose home is missing or
    // incomplete are passed over, and a counter of 0 still looks for one.
    const std::string valid = MakeDir("valid");
    RegisterNumberedHome(0, "Gone", Root() + "/gone");
    platform::RegWriteString(platform::HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE\\HOME1", "ORACLE_HOME", valid);  // no name
    RegisterNumberedHome(3, "Valid", valid);
    RegisterNumberedHome(4, "Zulu", MakeDir("zulu"));
    for (const char* counter : {"0", "1", " 1"}) {
        SCOPED_TRACE(counter);
        SetHomeCounter(counter);
        EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\HOME3");
        UnloadOCI();
    }
    SetHomeCounter("2");
    EXPECT_EQ(OracleHomeKey(), "SOFTWARE\\ORACLE\\HOME4") << "Zulu sorts last";
}
