#include "htr/rdms.h"

#include "core/settings.h"

#include <stdexcept>

#include "core/atomic_file.h"
#include "core/disk_path.h"
#include "core/program_files.h"
#include "core/text_code.h"
#include "core/texts.h"
#include "core/trace.h"
#include "core/url_helpers.h"
#include "feeds/xml_node.h"
#include "htr/command_line.h"
#include "htr/process.h"

namespace norvane {

namespace {

constexpr const char* kBareDeclaration = "<?xml version=\"1.0\"?>";

// The descriptor on disk: the name as program text (Shift_JIS), or as the bytes came
// (a browser's UTF-8); then the same once percent-decoded. Empty when none exists.
std::string FindDescriptor(const std::string& name) {
  const std::string decoded = PercentDecode(name);
  for (const std::string* n : {&name, &decoded}) {
    std::string programPath = files::ScriptPath(*n);
    std::string disk = DiskPath(programPath);
    if (FileExists(disk)) return disk;
    for (char& c : programPath)
      if (c == '\\') c = '/';
    if (FileExists(programPath)) return programPath;
  }
  return {};
}

[[noreturn]] void Missing(const std::string& path) {
  throw std::runtime_error(T().htrMissingPart + path);
}

// The text of a required element; an empty one counts as missing.
std::string RequiredText(const TRXML& doc, const std::string& path) {
  xmlNodePtr node = doc.SelectSingleNode(path);
  if (!node) Missing(path);
  std::string text = NodeText(node);
  if (text.empty()) Missing(path);
  return text;
}

}  // namespace

bool ScriptNameStaysInside(std::string_view name) {
  return StaysInside(name) && StaysInside(PercentDecode(name));
}

TRDMS::TRDMS(const std::string& name, const std::string& /*stamp*/) {
  host_.SetOutputHandler([this](const std::string& text) { DoStdout(text); });
  host_.SetInputHandler(
      [this](bool wholeLine, int count, std::string& text) { return DoStdin(wholeLine, count, text); });

  if (!ScriptNameStaysInside(name)) throw std::runtime_error(T().htrOutside + name);
  std::string disk = FindDescriptor(name);
  std::string bytes;
  if (disk.empty() || !ReadWholeFile(disk, bytes)) throw std::runtime_error(T().htrCannotOpen + name);
  if (!LoadFromString(bytes, files::ScriptPath(name))) throw std::runtime_error(T().htrCannotOpen + name);

  HtmlUrl = RequiredText(*this, "htri/head/htmlurl");
  xmlNodePtr script = SelectSingleNode("htri/head/script");
  if (!script) Missing("htri/head/script");
  if (!HasAttribute(script, "type")) Missing("htri/head/script@type");
  ScriptType = GetAttribute(script, "type");
  ExecutePath = GetAttribute(script, "executePath");
  // Without it the file name alone would be looked up as a program on the PATH.
  if (ScriptType != "DMonkey" && ScriptType != "self" && ExecutePath.empty())
    Missing("htri/head/script@executePath");
  ScriptFile = RequiredText(*this, "htri/head/script/file");
  if (!StaysInside(ScriptFile)) throw std::runtime_error(T().htrOutside + ScriptFile);

  for (xmlNodePtr para : SelectNodes("htri/paras/para")) Paras.push_back(NodeText(para));
}

std::string TRDMS::PageAddress(const std::string& htmlUrl) {
  // A page address without a scheme names a page of this gateway, whatever port it
  // listens on (the shipped examples read a page of "www" this way).
  if (htmlUrl.find("://") != std::string::npos) return htmlUrl;
  std::string path = htmlUrl;
  while (!path.empty() && path.front() == '/') path.erase(path.begin());
  return "http://localhost:" + std::to_string(GetSettings().PORT) + "/" + path;
}

TRDMS::Result TRDMS::Run() {
  Result result;
  std::string page = GetIfModified(PageAddress(HtmlUrl), "", result.lastModified);
  if (page.empty()) return result;
  // Scripts are promised Shift_JIS whatever code the page came in.
  PageText = ConvertToSJIS(page);
  try {
    if (ScriptType == "DMonkey") {
      // A script that does not compile or throws is the interpreter's own report: the
      // answer is then what was written before, or the page.
      if (!host_.CompileFile(DiskPath(files::ScriptPath(ScriptFile))) || !host_.Run(Paras))
        WriteErrorLog(TraceArea::Script, "script", host_.ErrorText());
      result.text = PageText;
    } else {
      TPMnage runner;
      result.text = runner.Run(ProcessIn{CommandLine(), PageText, std::string(files::kScripts)});
    }
  } catch (const std::exception& e) {
    WriteErrorLog(TraceArea::Script, "exception", e.what());
    result.text = kBareDeclaration;
  } catch (...) {
    result.text = kBareDeclaration;
  }
  return result;
}

std::string TRDMS::CommandLine() const {
  std::string command = ScriptType == "self" ? QuoteArgument(files::ScriptPath(ScriptFile))
                                             : ExecutePath + " " + QuoteArgument(ScriptFile);
  return JoinCommandLine(command, Paras);
}

void TRDMS::DoStdout(const std::string& text) { PageText = text; }

bool TRDMS::DoStdin(bool wholeLine, int /*count*/, std::string& text) {
  text = wholeLine ? PageText : std::string();
  return true;
}

}  // namespace norvane
