#include "UFiles.h"
#include "UFolders.h"

#include "test_files_support.h"

#include <cstdlib>
#include <optional>

namespace {

std::string WithSeparator(const fs::path &Path)
{
    return Path.string() + PathSeparator;
}

// Sets or clears an environment variable for one test, restoring it after.
class TEnvVar {
public:
    TEnvVar(const char *Name, std::optional<std::string> Value) : Name(Name)
    {
        if (const char *Old = std::getenv(Name))
            Saved = Old;
        Put(Value);
    }
    ~TEnvVar() { Put(Saved); }
    TEnvVar(const TEnvVar &) = delete;
    TEnvVar &operator=(const TEnvVar &) = delete;

private:
    void Put(const std::optional<std::string> &Value)
    {
#ifdef _WIN32
        _putenv_s(Name, Value ? Value->c_str() : "");
#else
        if (Value)
            setenv(Name, Value->c_str(), 1);
        else
            unsetenv(Name);
#endif
    }
    const char *Name;
    std::optional<std::string> Saved;
};

enum class TExeSets { Folder, Missing, File };
enum class TUserDir { Fresh, Deep, Existing, UnderFile, None };
enum class TPick { Exe, User };

struct TFolderCase {
    const char *Name;
    TExeSets Exe;
    TUserDir User;
    TPick Expected;
};

class ProgramFolderChoice : public testing::TestWithParam<TFolderCase> {};

TEST_P(ProgramFolderChoice, PicksAndPrepares)
{
    const TFolderCase &C = GetParam();
    TScratchDir Root;
    const fs::path Exe = Root.Path / "bin";
    fs::create_directory(Exe);
    if (C.Exe == TExeSets::Folder)
        fs::create_directory(Exe / "Sets");
    else if (C.Exe == TExeSets::File)
        PutFile((Exe / "Sets").string(), {1, 2, 3});

    fs::path User = Root.Path / "home" / "trackwarden";
    std::string UserDir = WithSeparator(User);
    switch (C.User) {
    case TUserDir::Fresh:
        fs::create_directory(Root.Path / "home");
        break;
    case TUserDir::Deep:
        User = Root.Path / "home" / ".local" / "share" / "trackwarden";
        UserDir = WithSeparator(User);
        break;
    case TUserDir::Existing:
        fs::create_directories(User / "Sets");
        PutFile((User / "Sets" / "keep.set").string(), {7});
        break;
    case TUserDir::UnderFile:
        PutFile((Root.Path / "home").string(), {0});
        break;
    case TUserDir::None:
        UserDir.clear();
        break;
    }

    const std::string Chosen = ChooseProgramFolder(WithSeparator(Exe), UserDir);
    if (C.Expected == TPick::Exe) {
        EXPECT_EQ(WithSeparator(Exe), Chosen);
        if (C.Exe != TExeSets::Folder) {
            EXPECT_FALSE(fs::exists(User / "Sets")) << "nothing to make when the user folder is not used";
        }
    } else {
        EXPECT_EQ(UserDir, Chosen);
        EXPECT_TRUE(fs::is_directory(User / "Sets"));
        EXPECT_TRUE(fs::is_directory(User / "Sys"));
    }
    if (C.User == TUserDir::Existing && C.Expected == TPick::User) {
        EXPECT_TRUE(fs::exists(User / "Sets" / "keep.set")) << "a user's sets survive the next start";
    }
    if (C.Exe == TExeSets::Folder) {
        EXPECT_FALSE(fs::exists(User)) << "a writable Sets beside the programs leaves home alone";
    }
}

const TFolderCase FolderCases[] = {
    {"BuildFolder", TExeSets::Folder, TUserDir::Fresh, TPick::Exe},
    {"InstalledFirstStart", TExeSets::Missing, TUserDir::Fresh, TPick::User},
    {"InstalledFreshHome", TExeSets::Missing, TUserDir::Deep, TPick::User},
    {"InstalledLaterStart", TExeSets::Missing, TUserDir::Existing, TPick::User},
    {"SetsIsAFile", TExeSets::File, TUserDir::Fresh, TPick::User},
    {"UserFolderCannotBeMade", TExeSets::Missing, TUserDir::UnderFile, TPick::Exe},
    {"NoUserFolder", TExeSets::Missing, TUserDir::None, TPick::Exe},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProgramFolderChoice, testing::ValuesIn(FolderCases),
                         [](const testing::TestParamInfo<TFolderCase> &Info) { return std::string(Info.param.Name); });

#ifndef _WIN32
TEST(ProgramFolderChoiceUnix, ReadOnlySetsSendsToUserFolder)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into any folder";
    TScratchDir Root;
    fs::create_directories(Root.Path / "bin" / "Sets");
    fs::permissions(Root.Path / "bin" / "Sets", fs::perms::owner_read | fs::perms::owner_exec);
    const std::string User = WithSeparator(Root.Path / "user");
    EXPECT_EQ(User, ChooseProgramFolder(WithSeparator(Root.Path / "bin"), User));
}

struct TDataHomeCase {
    const char *Name;
    std::optional<std::string> XdgDataHome;
    std::optional<std::string> Home;
    const char *Expected;
};

class UserDataFolderFromEnv : public testing::TestWithParam<TDataHomeCase> {};

TEST_P(UserDataFolderFromEnv, FollowsBaseDirectoryRules)
{
    const TDataHomeCase &C = GetParam();
    TEnvVar Xdg("XDG_DATA_HOME", C.XdgDataHome);
    TEnvVar Home("HOME", C.Home);
    EXPECT_EQ(C.Expected, UserDataFolder());
}

const TDataHomeCase DataHomeCases[] = {
    {"Default", std::nullopt, "/home/op", "/home/op/.local/share/trackwarden/"},
    {"HomeWithSlash", std::nullopt, "/home/op/", "/home/op/.local/share/trackwarden/"},
    {"XdgSet", "/data/op", "/home/op", "/data/op/trackwarden/"},
    {"XdgWithSlash", "/data/op/", "/home/op", "/data/op/trackwarden/"},
    {"XdgRelativeIgnored", "rel/data", "/home/op", "/home/op/.local/share/trackwarden/"},
    {"XdgEmptyIgnored", "", "/home/op", "/home/op/.local/share/trackwarden/"},
};

INSTANTIATE_TEST_SUITE_P(Cases, UserDataFolderFromEnv, testing::ValuesIn(DataHomeCases),
                         [](const testing::TestParamInfo<TDataHomeCase> &Info) { return std::string(Info.param.Name); });
#else
TEST(UserDataFolderWin, UnderAppData)
{
    TEnvVar AppData("APPDATA", std::string("C:\\Users\\op\\AppData\\Roaming"));
    EXPECT_EQ("C:\\Users\\op\\AppData\\Roaming\\Trackwarden\\", UserDataFolder());
}
#endif

// The whole decision as the programs make it, with HOME pointing at a scratch folder.
TEST(ProgramFolderWhole, TestProgramsFolderHasSets)
{
    // The tests run from the build's bin folder, where the build lays Sets/.
    const std::string Exe = ExecutableDir();
    ASSERT_FALSE(Exe.empty());
    if (!fs::is_directory(Exe + "Sets"))
        GTEST_SKIP() << "run from outside the build folder";
    EXPECT_EQ(Exe, ProgramFolder());
}

} // namespace
