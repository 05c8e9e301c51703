#include "app/autostart.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>

#include "support/installed_copy.h"
#include "support/fake_env.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

using test::EnvOf;
using test::TempDir;

// Program paths as they go into the Exec key: reserved characters quoted, '%' doubled,
// the key file's backslashes escaped.
const std::pair<const char*, const char*> kExecCases[] = {
    {"/usr/bin/norvane", "/usr/bin/norvane"},
    {"/opt/my apps/norvane", "\"/opt/my apps/norvane\""},
    {"/opt/100%/norvane", "/opt/100%%/norvane"},
    {"/opt/$HOME\"q`\\/norvane", "\"/opt/\\\\$HOME\\\\\"q\\\\`\\\\\\\\/norvane\""},
    {"/opt/ニュース/norvane", "/opt/ニュース/norvane"},
};

TEST(Autostart, ExecArgumentsAreQuotedAsDesktopEntriesWantThem) {
  for (const auto& [path, exec] : kExecCases) EXPECT_EQ(ExecArgument(path), exec) << path;
  for (const char* bad : {"", "/opt/a\nb", "/opt/\xff/norvane", "/opt/a\tb"})
    EXPECT_EQ(ExecArgument(bad), std::nullopt) << bad;
  EXPECT_EQ(AutostartEntry("/opt/a\nb", ""), std::nullopt);
  const auto entry = AutostartEntry("/usr/bin/norvane", "/home/me/feeds");
  ASSERT_TRUE(entry);
  EXPECT_NE(entry->find("\nExec=/usr/bin/norvane --home /home/me/feeds\n"), std::string::npos) << *entry;
}

TEST(Autostart, OnWritesTheEntryWhereXdgConfigHomeSaysAndOffRemovesIt) {
  TempDir home, config;
  struct Case {
    std::map<std::string, std::string> env;
    std::string path;
  } cases[] = {
      {{{"HOME", home.path()}}, home / ".config/autostart/norvane.desktop"},
      {{{"HOME", home.path()}, {"XDG_CONFIG_HOME", config.path()}}, config / "autostart/norvane.desktop"},
      {{{"HOME", home.path()}, {"XDG_CONFIG_HOME", "relative"}}, home / ".config/autostart/norvane.desktop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string message;
    ASSERT_TRUE(SetAutostart(true, "/usr/bin/norvane", "", EnvOf(c.env), message)) << message;
    EXPECT_NE(message.find(c.path), std::string::npos) << message;
    std::ifstream in(c.path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nExec=/usr/bin/norvane\n"), std::string::npos) << text;
    ASSERT_TRUE(SetAutostart(false, "/usr/bin/norvane", "", EnvOf(c.env), message)) << message;
    EXPECT_EQ(access(c.path.c_str(), F_OK), -1);
    // Off twice is no failure.
    EXPECT_TRUE(SetAutostart(false, "/usr/bin/norvane", "", EnvOf(c.env), message));
    EXPECT_NE(message.find("was not there"), std::string::npos) << message;
  }
  std::string message;
  EXPECT_FALSE(SetAutostart(true, "/usr/bin/norvane", "", EnvOf({}), message));
}

TEST(Autostart, EveryEntryPassesDesktopFileValidate) {
  const std::string validate = test::FindTool("desktop-file-validate");
  if (validate.empty()) GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
  TempDir config;
  for (const auto& [path, exec] : kExecCases) {
    std::string message, out, err;
    ASSERT_TRUE(SetAutostart(true, path, "/home/my feeds", EnvOf({{"XDG_CONFIG_HOME", config.path()}}), message));
    const std::string file = config / "autostart/norvane.desktop";
    EXPECT_EQ(test::RunToEnd({validate, file}, {}, &out, &err), 0) << path << "\n" << out << err;
    EXPECT_EQ(out + err, "") << path;
  }
}

}  // namespace
}  // namespace norvane
