#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "feeds/rxml.h"
#include "htr/script_host.h"

namespace norvane {

// True when a descriptor name (the `u` of an htr.xml request, as given) stays inside the
// scripts folder, both as written and once percent-decoded: a browser may send either,
// and the file is looked up both ways.
bool ScriptNameStaysInside(std::string_view name);

// The script gateway of one request: its document is the descriptor scripts/<name>.
//
//   <htri>
//     <head>
//       <htmlurl>page to fetch</htmlurl>
//       <script type="DMonkey | self | other" executePath="program for other types">
//         <file>script file, below scripts/</file>
//       </script>
//     </head>
//     <paras><para>argument</para>...</paras>   (optional)
//   </htri>
class TRDMS : public TRXML {
 public:
  // Reads scripts/<name> and fills the fields. Throws std::runtime_error with a message
  // for the user when the name or the script file leaves the scripts folder, the file
  // can't be read or parsed, or a required part is missing or empty (executePath is
  // required for types other than "DMonkey" and "self"). The stamp is the request's
  // If-Modified-Since; it is not used, the page is always fetched unconditionally.
  TRDMS(const std::string& name, const std::string& stamp);

  struct Result {
    std::string lastModified;  // the page's Last-Modified, empty when none came
    std::string text;          // the answer; empty when the page could not be fetched
  };
  // Fetches the page and runs the script on it. Never throws. A script that writes
  // nothing answers with the page; a failure that surfaces as an exception answers
  // with the bare XML declaration.
  Result Run();
  // The address fetched for a descriptor's page: a value without "://" is a page of
  // this gateway itself.
  static std::string PageAddress(const std::string& htmlUrl);

  // The command line of a script that is a program ("self" or another type): the
  // script file name quoted when it holds a space, then the paras, quoted as needed.
  std::string CommandLine() const;

  std::string HtmlUrl;
  std::string ScriptFile;
  std::string ScriptType;
  std::string ExecutePath;  // empty when absent
  std::vector<std::string> Paras;
  // The fetched page (Shift_JIS), later replaced by each output of an ECMAScript script.
  std::string PageText;

 private:
  void DoStdout(const std::string& text);
  bool DoStdin(bool wholeLine, int count, std::string& text);

  ScriptHost host_;
};

}  // namespace norvane
