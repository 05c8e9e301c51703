#include "core/ini_file.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/program_folder.h"
#include "core/settings.h"
#include "support/temp_dir.h"

namespace norvane {
namespace {

TEST(IniFile, WritingAKeyKeepsEverythingElseAsItWas) {
  test::TempDir dir;
  std::string path = dir.Write("a.ini",
                               "; comment\r\n[Other]\r\nPORT=1\r\n\r\n[Norvane]\r\nport=10\r\n"
                               "X=keep\r\n\r\n[Last]\r\nk=v\r\n");
  IniFile ini(path);
  ini.Load();
  EXPECT_EQ(ini.ReadInteger("NORVANE", "PORT", 0), 10);  // names ignore letter case
  ini.WriteInteger("Norvane", "PORT", 20);
  ini.WriteString("Norvane", "NEW", "x y");
  ini.WriteString("Fresh", "A", "1");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(dir.Read("a.ini"),
            "; comment\r\n[Other]\r\nPORT=1\r\n\r\n[Norvane]\r\nPORT=20\r\nX=keep\r\nNEW=x y\r\n"
            "\r\n[Last]\r\nk=v\r\n\r\n[Fresh]\r\nA=1\r\n");
  IniFile again(path);
  again.Load();
  EXPECT_EQ(again.ReadInteger("Other", "PORT", 0), 1);
  EXPECT_EQ(again.ReadString("Norvane", "NEW", ""), "x y");
}

TEST(IniFile, ValuesThatAreNoIntegerGiveTheDefault) {
  for (const char* bad : {"abc", "", "12x", "4.5", "99999999999", "+", "0x10"})
    EXPECT_EQ(ParseIniInteger(bad), std::nullopt) << bad;
  EXPECT_EQ(ParseIniInteger(" -7 "), -7);
  EXPECT_EQ(ParseIniInteger("+8"), 8);

  test::TempDir dir;
  std::string path = dir.Write("b.ini", "[Norvane]\nPORT=fast\nOPEN=2\nMINIMIZE=0\nGOROUND=yes\n");
  IniFile ini(path);
  ini.Load();
  EXPECT_EQ(ini.ReadInteger("Norvane", "PORT", 4565), 4565);
  EXPECT_TRUE(ini.ReadBool("Norvane", "OPEN", false));  // any non-zero integer
  EXPECT_FALSE(ini.ReadBool("Norvane", "MINIMIZE", true));
  EXPECT_TRUE(ini.ReadBool("Norvane", "GOROUND", true));  // unreadable: the default
  EXPECT_FALSE(ini.ReadString("Norvane", "MISSING").has_value());
}

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramFolder(dir_.path());
    ResetSettings();
  }
  void TearDown() override { ResetSettings(); }
  test::TempDir dir_;
};

TEST_F(SettingsFile, AByteOrderMarkIsSkippedAndAnUnreadableFileIsReported) {
  struct Case {
    const char* text;
    int port;
    bool reported;
  } cases[] = {
      {"\xEF\xBB\xBF[Norvane]\r\nPORT=8123\r\n", 8123, false},
      {"junk[Norvane]\r\nPORT=8123\r\n", 4565, true},
      {"\xFF\xFE[\0N\0", 4565, true},
      {"\r\n  \r\n", 4565, false},
  };
  for (const Case& c : cases) {
    dir_.Write("norvane.ini", c.text);
    testing::internal::CaptureStderr();
    LoadSettings();
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(GetSettings().PORT, c.port) << c.text;
    EXPECT_EQ(said.find("norvane.ini") != std::string::npos, c.reported) << c.text << said;
  }
}

TEST_F(SettingsFile, NoFileGivesTheDefaultsAndCreatesNothing) {
  LoadSettings();
  Settings s = GetSettings();
  EXPECT_EQ(s.PORT, 4565);
  EXPECT_EQ(s.MAXCONNECTION, 8);
  EXPECT_EQ(s.LOG_CNT, 150);
  EXPECT_EQ(s.READTIMEOUT, 45000);
  EXPECT_EQ(s.XSL_STYLE, "Default");
  EXPECT_FALSE(s.OPEN || s.MINIMIZE || s.USEPROXY || s.GOROUND || s.ROUNDRESULT);
  EXPECT_TRUE(SaveLastGroup());  // LASTOPML is empty: nothing is written
  EXPECT_FALSE(dir_.Exists("norvane.ini"));
}

TEST_F(SettingsFile, SaveWritesEveryKeyButTheLastGroupWhichOnlyExitWrites) {
  dir_.Write("norvane.ini", "[Norvane]\r\nLASTOPML=old.opml\r\n[Keep]\r\nz=1\r\n");
  LoadSettings();
  UpdateSettings([](Settings& s) {
    s.PORT = 8080;
    s.USEPROXY = true;
    s.PROXYSERVER = "proxy";
    s.LASTOPML = "new.opml";
    s.WebUserName = "user";
    s.WebPassWord = "secret";
  });
  ASSERT_TRUE(SaveSettings());
  std::string text = dir_.Read("norvane.ini");
  for (const char* key : {"PORT=8080", "MINIMIZE=0", "MAXCONNECTION=8", "USEPROXY=1",
                          "PROXYSERVER=proxy", "PROXYPORT=0", "OPEN=0", "GOROUND=0",
                          "ROUNDRESULT=0", "XSL_STYLE=Default", "LOG_CNT=150", "READTIMEOUT=45000"})
    EXPECT_NE(text.find(key), std::string::npos) << key;
  EXPECT_NE(text.find("LASTOPML=old.opml"), std::string::npos);
  EXPECT_EQ(text.find("secret"), std::string::npos);
  EXPECT_EQ(text.find("user"), std::string::npos);
  EXPECT_NE(text.find("[Keep]\r\nz=1"), std::string::npos);

  ASSERT_TRUE(SaveLastGroup());
  EXPECT_NE(dir_.Read("norvane.ini").find("LASTOPML=new.opml"), std::string::npos);

  // The credentials are memory-only: a new start has none.
  ResetSettings();
  LoadSettings();
  EXPECT_EQ(GetSettings().PORT, 8080);
  EXPECT_TRUE(GetSettings().WebUserName.empty());
  EXPECT_TRUE(GetSettings().WebPassWord.empty());
}

TEST_F(SettingsFile, EveryStoredSettingReadsBackAsItWasSaved) {
  Settings want;
  want.PORT = 4600;
  want.MINIMIZE = true;
  want.MAXCONNECTION = 3;
  want.USEPROXY = false;  // the booleans alternate, so two that trade places show
  want.PROXYSERVER = "proxy.example";
  want.PROXYPORT = 8081;
  want.OPEN = true;
  want.GOROUND = false;
  want.ROUNDRESULT = true;
  want.XSL_STYLE = "Compact";
  want.LOG_CNT = 7;
  want.READTIMEOUT = 1234;
  want.LASTOPML = "news.opml";
  UpdateSettings([&](Settings& s) { s = want; });
  ASSERT_TRUE(SaveSettings());
  ASSERT_TRUE(SaveLastGroup());
  ResetSettings();
  LoadSettings();
  Settings got = GetSettings();
  EXPECT_EQ(std::tie(got.PORT, got.MINIMIZE, got.MAXCONNECTION, got.USEPROXY, got.PROXYSERVER,
                     got.PROXYPORT, got.OPEN, got.GOROUND, got.ROUNDRESULT, got.XSL_STYLE,
                     got.LOG_CNT, got.READTIMEOUT, got.LASTOPML),
            std::tie(want.PORT, want.MINIMIZE, want.MAXCONNECTION, want.USEPROXY, want.PROXYSERVER,
                     want.PROXYPORT, want.OPEN, want.GOROUND, want.ROUNDRESULT, want.XSL_STYLE,
                     want.LOG_CNT, want.READTIMEOUT, want.LASTOPML));
}

}  // namespace
}  // namespace norvane
