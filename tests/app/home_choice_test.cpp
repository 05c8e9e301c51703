#include "app/home_choice.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "support/fake_env.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::EnvOf;
using test::TempDir;

TEST(HomeChoice, GivenThenPortableThenTheUsersDataFolder) {
  TempDir exe, portableIni, portableChannels;
  portableIni.Write("norvane.ini", "");
  portableChannels.Write("channels/ChannelList.xml", "");
  exe.Write("xsls/Default/rss.xsl", "");  // shipped files alone make no portable copy
  struct Case {
    const char* name;
    std::string given, exeFolder;
    std::map<std::string, std::string> env;
    HomeChoice::Kind kind;
    std::string folder;
  } cases[] = {
      {"--home wins", "/given", portableIni.path(), {{"HOME", "/h"}}, HomeChoice::kGiven, "/given"},
      {"norvane.ini beside", "", portableIni.path(), {{"HOME", "/h"}}, HomeChoice::kPortable, portableIni.path()},
      {"channels/ beside", "", portableChannels.path(), {}, HomeChoice::kPortable, portableChannels.path()},
      {"XDG_DATA_HOME unset", "", exe.path(), {{"HOME", "/h"}}, HomeChoice::kUser, "/h/.local/share/norvane"},
      {"XDG_DATA_HOME set", "", exe.path(), {{"HOME", "/h"}, {"XDG_DATA_HOME", "/d"}}, HomeChoice::kUser,
       "/d/norvane"},
      {"XDG_DATA_HOME empty", "", exe.path(), {{"HOME", "/h"}, {"XDG_DATA_HOME", ""}}, HomeChoice::kUser,
       "/h/.local/share/norvane"},
      {"XDG_DATA_HOME relative", "", exe.path(), {{"HOME", "/h"}, {"XDG_DATA_HOME", "data"}},
       HomeChoice::kUser, "/h/.local/share/norvane"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HomeChoice choice = ChooseHome(c.given, c.exeFolder, EnvOf(c.env));
    EXPECT_EQ(choice.kind, c.kind);
    EXPECT_EQ(choice.folder, c.folder);
    EXPECT_NE(DescribeHome(choice).find(c.folder), std::string::npos);
  }
  // The shipped files of /usr/bin/norvane are in /usr/share/norvane.
  EXPECT_EQ(ShippedFolder("/usr/bin"), "/usr/share/norvane");
  // Choosing makes nothing.
  EXPECT_FALSE(exe.Exists("channels"));
}

TEST(HomeChoice, TheUsersFolderIsMadePrivateAndSeeded) {
  TempDir home, shipped;
  shipped.Write("xsls/Default/rss.xsl", "<x/>");
  HomeChoice choice{HomeChoice::kUser, home / ".local/share/norvane", shipped.path()};
  std::string error;
  ASSERT_TRUE(PrepareHome(choice, error)) << error;
  EXPECT_EQ(home.Read(".local/share/norvane/xsls/Default/rss.xsl"), "<x/>");
  for (const char* made : {".local", ".local/share", ".local/share/norvane"}) {
    struct stat st {};
    ASSERT_EQ(stat((home / made).c_str(), &st), 0) << made;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
  }
  // A folder that cannot be made ends the start with its reason.
  home.Write("blocked", "a file");
  HomeChoice blocked{HomeChoice::kUser, home / "blocked/norvane", shipped.path()};
  EXPECT_FALSE(PrepareHome(blocked, error));
  EXPECT_NE(error.find("blocked"), std::string::npos) << error;
  EXPECT_FALSE(PrepareHome({HomeChoice::kUser, "", shipped.path()}, error));
  EXPECT_NE(error.find("--home"), std::string::npos) << error;
}

}  // namespace
}  // namespace norvane
