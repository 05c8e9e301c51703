// The build installed with `cmake --install` into a temporary prefix, and the installed
// program run as a user runs it: HOME a temporary folder, XDG_DATA_HOME unset.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "core/sjis.h"
#include "support/held_port.h"
#include "support/http_fetch.h"
#include "support/installed_copy.h"
#include "support/spawn.h"

namespace norvane::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kIconSizes{"16", "22", "24", "32", "48", "64", "128", "256"};

// Every file under root with its size and time, to see that nothing was written.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> Snapshot(const std::string& root) {
  std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = e.path().lexically_relative(root).string();
    files[name] = {e.is_regular_file() ? e.file_size() : 0, e.symlink_status().type() == fs::file_type::symlink
                                                               ? fs::file_time_type{}
                                                               : e.last_write_time()};
  }
  return files;
}

std::vector<std::string> Listing(const std::string& root) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) names.push_back(e.path().lexically_relative(root).string());
  std::sort(names.begin(), names.end());
  return names;
}

// The width and height a PNG's header gives.
std::pair<unsigned, unsigned> PngSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char h[24] = {};
  in.read(reinterpret_cast<char*>(h), sizeof h);
  auto be = [&](int at) { return unsigned(h[at]) << 24 | unsigned(h[at + 1]) << 16 | unsigned(h[at + 2]) << 8 | h[at + 3]; };
  return {be(16), be(20)};
}

// The installed program, run as a user with a home folder of its own.
class InstalledUser {
 public:
  explicit InstalledUser(const InstalledCopy& copy) : copy_(copy) {}
  ~InstalledUser() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  std::vector<std::string> Env() const {
    return EnvironmentWith({"XDG_DATA_HOME", "XDG_CONFIG_HOME", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                            "NORVANE_WEB_USER", "NORVANE_WEB_PASSWORD"},
                           {{"HOME", home.path()}, {"NORVANE_BROWSER", "/bin/true"}});
  }
  std::string Folder(const std::string& name = "") const {
    return home / (".local/share/norvane" + (name.empty() ? "" : "/" + name));
  }
  // The settings a user wrote before the first start: only the port, free for this test.
  void WritePort() const { home.Write(".local/share/norvane/norvane.ini", "[Norvane]\nPORT=" + std::to_string(port.port()) + "\n"); }
  bool Start() {
    pid_ = SpawnProcess({copy_.Bin(), "--headless"}, Env(), {home / "stdout.log", home / "stderr.log", true});
    return pid_ > 0 && WaitForPort(port.port(), 20000);
  }
  int Stop() {
    kill(pid_, SIGTERM);
    int st = 0;
    waitpid(pid_, &st, 0);
    pid_ = -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  }
  FetchResult Get(const std::string& target) const {
    return Fetch("http://127.0.0.1:" + std::to_string(port.port()) + target);
  }

  TempDir home;
  HeldPort port;

 private:
  const InstalledCopy& copy_;
  pid_t pid_ = -1;
};

TEST(Install, PutsEveryFileWhereLinuxProgramsKeepThem) {
  InstalledCopy copy;
  ASSERT_TRUE(copy.ok()) << copy.log();
  const TempDir& p = copy.prefix();
  EXPECT_TRUE(p.Exists("bin/norvane"));
  // The desktop beside the program that starts it, when the build has one.
  EXPECT_EQ(p.Exists("bin/norvane-desktop"), fs::exists(std::string(NORVANE_BUILD_DIR) + "/norvane/norvane-desktop"));
  // The shipped program folder, whole and read-only.
  EXPECT_EQ(Listing(p / "share/norvane"), Listing(NORVANE_DATA_DIR));
  struct stat st {};
  ASSERT_EQ(stat((p / "share/norvane/xsls/Default/rss.xsl").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  for (const char* f : {"share/applications/norvane.desktop", "share/man/man1/norvane.1.gz",
                        "share/metainfo/org.norvane.norvane.metainfo.xml", "lib/systemd/user/norvane.service",
                        "share/icons/hicolor/scalable/apps/norvane.svg"})
    EXPECT_TRUE(p.Exists(f)) << f;
  for (const std::string& size : kIconSizes) {
    const std::string png = p / ("share/icons/hicolor/" + size + "x" + size + "/apps/norvane.png");
    const unsigned n = static_cast<unsigned>(std::stoul(size));
    EXPECT_EQ(PngSize(png), std::make_pair(n, n)) << png;
  }
  // The entry and the unit name the installed program; the unit runs it headless.
  EXPECT_NE(p.Read("share/applications/norvane.desktop").find("\nExec=" + copy.Bin() + "\n"), std::string::npos);
  EXPECT_NE(p.Read("lib/systemd/user/norvane.service").find("\nExecStart=" + copy.Bin() + " --headless\n"),
            std::string::npos);
}

TEST(Install, TheDesktopEntryPassesDesktopFileValidate) {
  const std::string tool = FindTool("desktop-file-validate");
  if (tool.empty()) GTEST_SKIP() << "desktop-file-validate is not installed (desktop-file-utils)";
  InstalledCopy copy;
  ASSERT_TRUE(copy.ok()) << copy.log();
  std::string out, err;
  EXPECT_EQ(RunToEnd({tool, copy.prefix() / "share/applications/norvane.desktop"}, {}, &out, &err), 0) << out << err;
  EXPECT_EQ(out + err, "");
}

TEST(Install, TheMetainfoPassesAppstreamcliValidate) {
  const std::string tool = FindTool("appstreamcli");
  if (tool.empty()) GTEST_SKIP() << "appstreamcli is not installed (appstream)";
  InstalledCopy copy;
  ASSERT_TRUE(copy.ok()) << copy.log();
  std::string out, err;
  EXPECT_EQ(RunToEnd({tool, "validate", "--no-net", "--pedantic",
                      copy.prefix() / "share/metainfo/org.norvane.norvane.metainfo.xml"},
                     {}, &out, &err),
            0)
      << out << err;
  EXPECT_EQ(out.find("W:"), std::string::npos) << out;
}

TEST(Install, HelpNamesTheFolderARunUsesAndVersionThePrograms) {
  InstalledCopy copy;
  ASSERT_TRUE(copy.ok()) << copy.log();
  InstalledUser user(copy);
  std::string out;
  ASSERT_EQ(RunToEnd({copy.Bin(), "--help"}, user.Env(), &out), 0);
  EXPECT_NE(out.find("Program folder of this run: " + user.Folder() + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find(copy.prefix() / "share/norvane"), std::string::npos) << out;
  EXPECT_FALSE(user.home.Exists(".local"));  // asking makes nothing
  std::vector<std::string> env = user.Env();
  env.push_back("XDG_DATA_HOME=/srv/data");
  ASSERT_EQ(RunToEnd({copy.Bin(), "--help"}, env, &out), 0);
  EXPECT_NE(out.find("Program folder of this run: /srv/data/norvane\n"), std::string::npos) << out;
  ASSERT_EQ(RunToEnd({copy.Bin(), "--help", "--home", "/srv/given"}, env, &out), 0);
  EXPECT_NE(out.find("Program folder of this run: /srv/given (--home)"), std::string::npos) << out;
  // The build's own program folder is a portable copy: its channels/ says so.
  ASSERT_EQ(RunToEnd({NORVANE_BINARY, "--help"}, user.Env(), &out), 0);
  EXPECT_NE(out.find("Program folder of this run: " + fs::path(NORVANE_BINARY).parent_path().string() + "\n"),
            std::string::npos)
      << out;
  ASSERT_EQ(RunToEnd({copy.Bin(), "--version"}, user.Env(), &out), 0);
  EXPECT_EQ(out, "Norvane " NORVANE_VERSION "\n");
}

TEST(Install, AutostartWritesAndRemovesTheUsersEntryForTheInstalledProgram) {
  InstalledCopy copy;
  ASSERT_TRUE(copy.ok()) << copy.log();
  InstalledUser user(copy);
  std::string out;
  ASSERT_EQ(RunToEnd({copy.Bin(), "--autostart", "on"}, user.Env(), &out), 0) << out;
  const std::string entry = user.home.Read(".config/autostart/norvane.desktop");
  EXPECT_NE(entry.find("\nExec=" + copy.Bin() + "\n"), std::string::npos) << entry;
  ASSERT_EQ(RunToEnd({copy.Bin(), "--autostart=off"}, user.Env(), &out), 0) << out;
  EXPECT_FALSE(user.home.Exists(".config/autostart/norvane.desktop"));
  EXPECT_EQ(RunToEnd({copy.Bin(), "--autostart", "maybe"}, user.Env()), 2);
}

TEST(Install, TheFirstStartSeedsTheUsersFolderAndServesTheSampleGroup) {
  InstalledCopy copy;
  ASSERT_TRUE(copy.ok()) << copy.log();
  InstalledUser user(copy);
  user.WritePort();
  const auto installed = Snapshot(copy.prefix().path());

  ASSERT_TRUE(user.Start()) << user.home.Read("stderr.log");
  FetchResult group = user.Get("/ch.html?u=sample.opml/&r=on");
  EXPECT_EQ(group.status, 200) << group.error << "\n" << user.home.Read("stderr.log");
  EXPECT_NE(group.body.find(Utf8ToSjis("Norvane 0.9 へようこそ")), std::string::npos);
  EXPECT_EQ(user.Get("/").status, 200);
  EXPECT_EQ(user.Stop(), 0) << user.home.Read("stderr.log");

  // The shipped files were copied in, the user's settings kept, and the feed logs of
  // the sample group written there.
  EXPECT_EQ(user.home.Read(".local/share/norvane/norvane.ini"),
            "[Norvane]\nPORT=" + std::to_string(user.port.port()) + "\n");
  for (const std::string& f : Listing(copy.prefix() / "share/norvane"))
    EXPECT_EQ(user.home.Read(".local/share/norvane/" + f), copy.prefix().Read("share/norvane/" + f)) << f;
  EXPECT_NE(user.home.Read(".local/share/norvane/channels/ChannelList.xml").find("sample"), std::string::npos);
  EXPECT_NE(user.home.Read("stderr.log").find("was given the shipped files"), std::string::npos);
  // Nothing was written beside the executable, nor anywhere else in the prefix.
  EXPECT_EQ(Snapshot(copy.prefix().path()), installed);
}

TEST(Install, ALaterStartKeepsWhatTheUserChangedAndAddsNewlyShippedFiles) {
  InstalledCopy copy;
  ASSERT_TRUE(copy.ok()) << copy.log();
  InstalledUser user(copy);
  user.WritePort();
  ASSERT_TRUE(user.Start()) << user.home.Read("stderr.log");
  EXPECT_EQ(user.Stop(), 0);

  // The user edits the Default style's sheet; a newer version then ships a changed
  // sheet for both styles and a file of its own.
  const std::string mine = "/* mine */\n";
  user.home.Write(".local/share/norvane/xsls/Default/norvane.css", mine);
  const TempDir& p = copy.prefix();
  p.Write("share/norvane/xsls/Default/norvane.css", "/* shipped anew */\n");
  p.Write("share/norvane/xsls/Compact/norvane.css", "/* compact anew */\n");
  p.Write("share/norvane/www/newly-shipped.html", "<p>new</p>\n");
  const auto installed = Snapshot(p.path());

  ASSERT_TRUE(user.Start()) << user.home.Read("stderr.log");
  // The running program serves the user's sheet.
  EXPECT_EQ(user.Get("/norvane.css").body, mine);
  EXPECT_EQ(user.Get("/newly-shipped.html").body, "<p>new</p>\n");
  EXPECT_EQ(user.Stop(), 0);
  EXPECT_EQ(user.home.Read(".local/share/norvane/xsls/Default/norvane.css"), mine);
  EXPECT_EQ(user.home.Read(".local/share/norvane/xsls/Compact/norvane.css"), "/* compact anew */\n");
  EXPECT_EQ(user.home.Read(".local/share/norvane/www/newly-shipped.html"), "<p>new</p>\n");
  const std::string said = user.home.Read("stderr.log");
  EXPECT_NE(said.find("newly shipped files copied in: www/newly-shipped.html"), std::string::npos) << said;
  EXPECT_NE(said.find("updated: xsls/Compact/norvane.css"), std::string::npos) << said;
  EXPECT_EQ(Snapshot(p.path()), installed);
  EXPECT_EQ(Listing(p / "bin").size(), p.Exists("bin/norvane-desktop") ? 2u : 1u);
}

}  // namespace
}  // namespace norvane::test
