// SPDX-License-Identifier: MIT
#include "config/Locations.h"
#include "errors/Errors.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one test and puts the old value back afterwards.
class TEnvVar {
public:
    TEnvVar(const char* name, const char* value) : Name(name) {
        if (const char* old = std::getenv(name))
            Old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~TEnvVar() {
        if (Old)
            ::setenv(Name, Old->c_str(), 1);
        else
            ::unsetenv(Name);
    }

private:
    const char* Name;
    std::optional<std::string> Old;
};

class LocationsTest : public ::testing::Test {
protected:
    // A prefix laid out as `cmake --install` leaves it: bin/ and share/calyxor/.
    std::string Installed() {
        fs::create_directories(Dir / "usr/bin");
        fs::create_directories(Dir / "usr/share/calyxor/Skins/default");
        fs::create_directories(Dir / "usr/share/calyxor/SFX");
        return Dir / "usr/bin/";
    }
    // A folder carrying its own data, as the build folder does.
    std::string Portable() {
        fs::create_directories(Dir / "app/Skins/default");
        fs::create_directories(Dir / "app/SFX");
        return Dir / "app/";
    }
    TTempDir Dir;
    TEnvVar Xdg{"XDG_CONFIG_HOME", (Dir / "config").c_str()};
};

TEST_F(LocationsTest, portableCopy_keepsDataAndSettingsBesideItself_andReportsAMissingFile) {
    const std::string app = Portable();
    // An installed tree beside it changes nothing: what lies beside the program wins.
    Installed();
    const TLocations where = FindLocations(app);
    EXPECT_EQ(where.DataDir, app);
    EXPECT_EQ(where.SettingsFile, app + "calyxor.ini");
    EXPECT_TRUE(where.SettingsBeside);
    try {
        (void)ReadSettingsBytes(where);
        FAIL() << "a portable copy's missing settings must be reported";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_EQ(SettingsPathForSaving(where), app + "calyxor.ini");
    EXPECT_FALSE(fs::exists(Dir / "config"));
}

TEST_F(LocationsTest, installedCopy_readsSharedData_andStartsQuietlyWithoutSettings) {
    const TLocations where = FindLocations(Installed());
    EXPECT_EQ(where.DataDir, Dir / "usr/share/calyxor/");
    EXPECT_FALSE(where.SettingsBeside);
    EXPECT_EQ(where.SettingsFile, Dir / "config/calyxor/calyxor.ini");
    EXPECT_EQ(ReadSettingsBytes(where), "");

    // The first save makes the folder, private to the user, even when the configuration
    // folder itself does not exist yet (a new account's ~/.config).
    const std::string path = SettingsPathForSaving(where);
    EXPECT_EQ(path, where.SettingsFile);
    struct stat st {};
    ASSERT_EQ(::stat((Dir / "config/calyxor").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    std::ofstream(path) << "[Config]\r\nSkin=x\r\n";
    EXPECT_EQ(ReadSettingsBytes(FindLocations(Dir / "usr/bin/")), "[Config]\r\nSkin=x\r\n");
}

TEST_F(LocationsTest, installedCopy_stillReportsSettingsThatExistButCannotBeRead) {
    const TLocations where = FindLocations(Installed());
    fs::create_directories(where.SettingsFile); // a folder in the file's place
    EXPECT_THROW((void)ReadSettingsBytes(where), EInOutError);
}

TEST_F(LocationsTest, installedCopy_withSettingsBesideIt_usesThoseAsAPortableCopyWould) {
    const std::string bin = Installed();
    std::ofstream(bin + "calyxor.ini") << "[Config]\r\n";
    const TLocations where = FindLocations(bin);
    EXPECT_EQ(where.DataDir, Dir / "usr/share/calyxor/");
    EXPECT_EQ(where.SettingsFile, bin + "calyxor.ini");
    EXPECT_TRUE(where.SettingsBeside);
}

TEST_F(LocationsTest, halfAPortableFolderOrNoDataAtAll) {
    // Skins without SFX beside an installed program: the installed data are complete.
    const std::string bin = Installed();
    fs::create_directories(bin + "Skins");
    EXPECT_EQ(FindLocations(bin).DataDir, Dir / "usr/share/calyxor/");

    // No data anywhere: the program's own folder, so that the missing files are reported there.
    fs::create_directories(Dir / "lone");
    const TLocations lone = FindLocations(Dir / "lone/");
    EXPECT_EQ(lone.DataDir, Dir / "lone/");
    EXPECT_EQ(lone.SettingsFile, Dir / "lone/calyxor.ini");
    EXPECT_TRUE(lone.SettingsBeside);
}

TEST_F(LocationsTest, configurationFolderFollowsXdgThenHomeThenThePasswordDatabase) {
    struct Row {
        const char* Xdg;
        const char* Home;
        std::string Expected;
    };
    const Row rows[] = {
        {"/x/conf", "/home/u", "/x/conf/"},
        {"/x/conf/", "/home/u", "/x/conf/"},
        {"", "/home/u", "/home/u/.config/"},
        {"relative/conf", "/home/u/", "/home/u/.config/"}, // a relative one is ignored
        {nullptr, "/home/u", "/home/u/.config/"},
        {nullptr, nullptr, ""},
        {nullptr, "not-absolute", ""},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ConfigHome(r.Xdg, r.Home), r.Expected)
            << (r.Xdg ? r.Xdg : "(unset)") << " " << (r.Home ? r.Home : "(unset)");

    // Without HOME and XDG_CONFIG_HOME the account's home folder still gives a place.
    TEnvVar noXdg("XDG_CONFIG_HOME", nullptr);
    TEnvVar noHome("HOME", nullptr);
    const TLocations where = FindLocations(Installed());
    EXPECT_FALSE(where.SettingsBeside);
    EXPECT_EQ(where.SettingsFile.rfind('/', 0), 0u) << where.SettingsFile;
    EXPECT_NE(where.SettingsFile.find("/.config/calyxor/calyxor.ini"), std::string::npos);
}

} // namespace
