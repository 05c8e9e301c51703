#include "htr/rdms.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/texts.h"
#include "support/feed_server.h"
#include "support/program_home.h"

namespace norvane {
namespace {

using test::Sjis;

struct Script {
  std::string type = "DMonkey";
  std::string file;
  std::vector<std::string> paras;  // UTF-8
  bool withParas = true;
  std::string executePath;
};

// A descriptor in UTF-8, as a user would save it.
std::string Descriptor(const std::string& url, const Script& s) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<htri><head><htmlurl>" + url +
                  "</htmlurl><script type=\"" + s.type + "\"";
  if (!s.executePath.empty()) x += " executePath=\"" + s.executePath + "\"";
  x += "><file>" + s.file + "</file></script></head>";
  if (s.withParas) {
    x += "<paras>";
    for (const std::string& p : s.paras) x += "<para>" + p + "</para>";
    x += "</paras>";
  }
  return x + "</htri>\n";
}

// A program folder with scripts/ as the current directory, and a page server.
class Gateway : public ::testing::Test {
 protected:
  void SetUp() override {
    pages_.Route("/page.html", {.body = "<p>page</p>", .contentType = "text/html",
                                .lastModified = "Mon, 01 Jul 2024 00:00:00 GMT"});
    pages_.Route("/plain.html", {.body = "<p>plain</p>", .contentType = "text/html"});
  }
  void Put(const std::string& name, const std::string& text, bool executable = false) {
    std::string path = home_.Write("scripts/" + name, text);
    if (executable) {
      ASSERT_EQ(chmod(path.c_str(), 0755), 0);
    }
  }
  void PutDescriptor(const std::string& name, const std::string& page, const Script& s) {
    Put(name, Descriptor(pages_.Url(page), s));
  }
  static std::string CreateError(const std::string& name) {
    try {
      TRDMS gateway(name, "");
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "<no error>";
  }

  test::ProgramHome home_;
  test::FeedServer pages_;
};

TEST_F(Gateway, CreateFillsTheFieldsFromTheDescriptor) {
  PutDescriptor("full.xml", "/page.html",
                {.type = "perl", .file = "news.pl", .paras = {"one", "お知らせ", "three"},
                 .executePath = "/usr/bin/perl"});
  TRDMS full("full.xml", "ignored stamp");
  EXPECT_EQ(full.HtmlUrl, pages_.Url("/page.html"));
  EXPECT_EQ(full.ScriptType, "perl");
  EXPECT_EQ(full.ExecutePath, "/usr/bin/perl");
  EXPECT_EQ(full.ScriptFile, "news.pl");
  EXPECT_EQ(full.Paras, (std::vector<std::string>{"one", Sjis("お知らせ"), "three"}));
  EXPECT_TRUE(full.PageText.empty());

  PutDescriptor("bare.xml", "/page.html", {.file = "a.js", .withParas = false});
  TRDMS bare("bare.xml", "");
  EXPECT_EQ(bare.ScriptType, "DMonkey");
  EXPECT_TRUE(bare.ExecutePath.empty());
  EXPECT_TRUE(bare.Paras.empty());

  // A descriptor in a sub-folder, and one saved in Shift_JIS.
  PutDescriptor("sub/deep.xml", "/page.html", {.type = "self", .file = "sub/deep.sh"});
  EXPECT_EQ(TRDMS("sub/deep.xml", "").ScriptFile, "sub/deep.sh");
  Put("sjis.xml", Sjis("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><htri><head><htmlurl>u</htmlurl>"
                       "<script type=\"DMonkey\"><file>お知らせ.js</file></script></head></htri>"));
  EXPECT_EQ(TRDMS("sjis.xml", "").ScriptFile, Sjis("お知らせ.js"));
}

TEST_F(Gateway, AMissingOrIncompleteDescriptorRaises) {
  EXPECT_EQ(CreateError("none.xml"), T().htrCannotOpen + "none.xml");
  EXPECT_EQ(CreateError(""), T().htrCannotOpen);  // no u at all
  Put("folder/keep", "");
  EXPECT_EQ(CreateError("folder"), T().htrCannotOpen + "folder");
  Put("junk.xml", "this is not XML <<<");
  EXPECT_EQ(CreateError("junk.xml"), T().htrCannotOpen + "junk.xml");

  const std::vector<std::pair<std::string, std::string>> incomplete = {
      {"<other><head/></other>", "htri/head/htmlurl"},
      {"<htri><head><script type=\"DMonkey\"><file>a.js</file></script></head></htri>",
       "htri/head/htmlurl"},
      {"<htri><head><htmlurl></htmlurl><script type=\"DMonkey\"><file>a.js</file></script>"
       "</head></htri>",
       "htri/head/htmlurl"},
      {"<htri><head><htmlurl>u</htmlurl></head></htri>", "htri/head/script"},
      {"<htri><head><htmlurl>u</htmlurl><script><file>a.js</file></script></head></htri>",
       "htri/head/script@type"},
      {"<htri><head><htmlurl>u</htmlurl><script type=\"DMonkey\"/></head></htri>",
       "htri/head/script/file"},
      {"<htri><head><htmlurl>u</htmlurl><script type=\"self\"><file/></script></head></htri>",
       "htri/head/script/file"},
      {"<htri><head><htmlurl>u</htmlurl><script type=\"perl\"><file>a.pl</file></script>"
       "</head></htri>",
       "htri/head/script@executePath"},
  };
  for (const auto& [text, part] : incomplete) {
    Put("bad.xml", text);
    EXPECT_EQ(CreateError("bad.xml"), T().htrMissingPart + part) << text;
  }
}

TEST_F(Gateway, NamesThatLeaveTheScriptsFolderRaise) {
  // Real descriptors outside scripts/, which a careless lookup would find.
  home_.Write("outside.xml", Descriptor(pages_.Url("/page.html"), {.file = "a.js"}));
  for (const char* name : {"../outside.xml", "sub/../../outside.xml", "..\\outside.xml",
                           "%2e%2e/outside.xml", "%2E%2E%2Foutside.xml"}) {
    EXPECT_FALSE(ScriptNameStaysInside(name)) << name;
    EXPECT_EQ(CreateError(name), T().htrOutside + name) << name;
  }
  std::string absolute = home_ / "outside.xml";
  EXPECT_EQ(CreateError(absolute), T().htrOutside + absolute);
  EXPECT_FALSE(ScriptNameStaysInside(std::string("a\0b", 3)));
  EXPECT_TRUE(ScriptNameStaysInside("sub/notice.xml"));
  EXPECT_TRUE(ScriptNameStaysInside("a..b.xml"));

  for (const char* file : {"../a.js", "/bin/sh", "x/../../a.js"}) {
    PutDescriptor("escape.xml", "/page.html", {.type = "self", .file = file});
    EXPECT_EQ(CreateError("escape.xml"), T().htrOutside + file) << file;
  }
}

TEST_F(Gateway, FindsADescriptorByItsProgramOrPercentEncodedName) {
  // On disk the name is UTF-8; inside the program it is Shift_JIS; a browser sends it
  // percent-encoded UTF-8.
  PutDescriptor("お知らせ.xml", "/page.html", {.file = "a.js"});
  EXPECT_EQ(TRDMS(Sjis("お知らせ.xml"), "").ScriptFile, "a.js");
  EXPECT_EQ(TRDMS("%E3%81%8A%E7%9F%A5%E3%82%89%E3%81%9B.xml", "").ScriptFile, "a.js");
  PutDescriptor("a b.xml", "/page.html", {.file = "b.js"});
  EXPECT_EQ(TRDMS("a%20b.xml", "").ScriptFile, "b.js");
}

TEST_F(Gateway, EcmaScriptOutputsReplaceThePage) {
  Put("twice.js",
      "var page = readln();\n"
      "print('<first/>');\n"
      "writeln('<second n=\"', args.length, '\">', args.join('|'), '/', page, '</second>');\n");
  PutDescriptor("twice.xml", "/page.html", {.file = "twice.js", .paras = {"a b", "お知らせ"}});
  TRDMS twice("twice.xml", "");
  TRDMS::Result r = twice.Run();
  EXPECT_EQ(r.text, Sjis("<second n=\"2\">a b|お知らせ/<p>page</p></second>\n"));
  EXPECT_EQ(r.lastModified, "Mon, 01 Jul 2024 00:00:00 GMT");
  EXPECT_EQ(twice.PageText, r.text);

  Put("silent.js", "var page = readln(); var n = stdin.read(10); if (n !== '') print('read gave ' + n);");
  PutDescriptor("silent.xml", "/plain.html", {.file = "silent.js", .withParas = false});
  r = TRDMS("silent.xml", "").Run();
  EXPECT_EQ(r.text, "<p>plain</p>");  // nothing written: the page itself
  EXPECT_EQ(r.lastModified, "");

  Put("throws.js", "print('<before/>'); throw new Error('broken');");
  PutDescriptor("throws.xml", "/page.html", {.file = "throws.js"});
  EXPECT_EQ(TRDMS("throws.xml", "").Run().text, "<before/>");

  Put("syntax.js", "print('never' ;");
  PutDescriptor("syntax.xml", "/page.html", {.file = "syntax.js"});
  EXPECT_EQ(TRDMS("syntax.xml", "").Run().text, "<p>page</p>");
}

TEST_F(Gateway, ThePageIsFetchedUnconditionallyAndConvertedToShiftJis) {
  // A UTF-8 page with LF breaks reaches the script as Shift_JIS with CR LF.
  pages_.Route("/utf8.html", {.body = "<p>お知らせ</p>\n<p>二行目</p>\n", .contentType = "text/html"});
  Put("cat.sh", "#!/bin/sh\ncat\n", true);
  PutDescriptor("cat.xml", "/utf8.html", {.type = "self", .file = "cat.sh"});
  TRDMS gateway("cat.xml", "Mon, 01 Jul 2024 00:00:00 GMT");
  EXPECT_EQ(gateway.Run().text, Sjis("<p>お知らせ</p>\r\n<p>二行目</p>\r\n"));

  PutDescriptor("plain.xml", "/page.html", {.type = "self", .file = "cat.sh"});
  pages_.ClearLog();
  TRDMS::Result r = TRDMS("plain.xml", "Mon, 01 Jul 2024 00:00:00 GMT").Run();
  EXPECT_EQ(r.text, "<p>page</p>");  // not 304: the stamp is not sent
  EXPECT_EQ(r.lastModified, "Mon, 01 Jul 2024 00:00:00 GMT");
  std::vector<test::SeenRequest> seen = pages_.Requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_FALSE(seen[0].HasHeader("If-Modified-Since"));
}

TEST_F(Gateway, AFailedFetchAnswersNothingAndRunsNoScript) {
  Put("mark.sh", "#!/bin/sh\ntouch ran\necho out\n", true);
  for (const std::string& url : {pages_.Url("/missing.html"), std::string("http://127.0.0.1:1/x")}) {
    Put("f.xml", Descriptor(url, {.type = "self", .file = "mark.sh"}));
    TRDMS::Result r = TRDMS("f.xml", "").Run();
    EXPECT_EQ(r.text, "") << url;
    EXPECT_EQ(r.lastModified, "") << url;
  }
  pages_.Route("/empty.html", {.body = "", .lastModified = "Tue, 02 Jul 2024 00:00:00 GMT"});
  PutDescriptor("e.xml", "/empty.html", {.type = "self", .file = "mark.sh"});
  EXPECT_EQ(TRDMS("e.xml", "").Run().text, "");
  EXPECT_FALSE(home_.Exists("scripts/ran"));
}

TEST_F(Gateway, ProgramsRunInTheScriptsFolderWithTheirParas) {
  Put("args.sh", "#!/bin/sh\ncat >/dev/null\nprintf '%s|' \"$#\" \"$1\" \"$2\"\npwd -P\n", true);
  const std::string folder = std::filesystem::canonical(home_ / "scripts").string();
  PutDescriptor("self.xml", "/page.html", {.type = "self", .file = "args.sh", .paras = {"a b", "c"}});
  TRDMS self("self.xml", "");
  EXPECT_EQ(self.CommandLine(), "scripts/args.sh \"a b\" c");
  EXPECT_EQ(self.Run().text, "2|a b|c|" + folder + "\n");

  // No paras: the command and one space. A file name with a space is quoted.
  Put("my args.sh", "#!/bin/sh\nprintf '%s|' \"$#\"\n", true);
  PutDescriptor("spaced.xml", "/page.html", {.type = "self", .file = "my args.sh", .withParas = false});
  TRDMS spaced("spaced.xml", "");
  EXPECT_EQ(spaced.CommandLine(), "\"scripts/my args.sh\" ");
  EXPECT_EQ(spaced.Run().text, "0|");

  // Another type: the named program runs the file, which needs no execute permission.
  Put("plain.sh", "printf 'plain %s %s|' \"$1\" \"$2\"\npwd -P\n");
  PutDescriptor("other.xml", "/page.html",
                {.type = "sh", .file = "plain.sh", .paras = {"x", "say \"hi\""}, .executePath = "/bin/sh"});
  TRDMS other("other.xml", "");
  EXPECT_EQ(other.CommandLine(), "/bin/sh plain.sh x \"say \"\"hi\"\"\"");
  EXPECT_EQ(other.Run().text, "plain x say \"hi\"|" + folder + "\n");

  // A program that cannot be started answers nothing.
  PutDescriptor("gone.xml", "/page.html", {.type = "self", .file = "gone.sh"});
  TRDMS::Result gone = TRDMS("gone.xml", "").Run();
  EXPECT_EQ(gone.text, "");
  EXPECT_EQ(gone.lastModified, "Mon, 01 Jul 2024 00:00:00 GMT");
}

}  // namespace
}  // namespace norvane
