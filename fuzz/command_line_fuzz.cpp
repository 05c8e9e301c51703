// The gateway's command lines: any line splits, and a joined line splits back into the
// command and its pieces.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "htr/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> pieces = norvane::SplitCommandLine(line);
  std::vector<std::string> again = norvane::SplitCommandLine(norvane::JoinCommandLine("cmd", pieces));
  if (again.empty() || again[0] != "cmd") std::abort();
  again.erase(again.begin());
  if (again != pieces) std::abort();
  return 0;
}
