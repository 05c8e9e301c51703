// The INI reader: any file loads; writing one key changes that key and no other.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/ini_file.h"

namespace {

std::string Path(const char* which) {
  return "/tmp/norvane-ini-fuzz-" + std::to_string(getpid()) + which;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in = Path(".ini");
  if (FILE* f = std::fopen(in.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  norvane::IniFile ini(in);
  ini.Load();
  const auto before = ini.ReadString("Norvane", "LOG_CNT");
  ini.ReadInteger("Norvane", "PORT", 4565);
  ini.ReadBool("Norvane", "OPEN", false);
  ini.WriteInteger("Norvane", "PORT", 8080);
  if (ini.ReadInteger("Norvane", "PORT", 0) != 8080) std::abort();
  if (ini.ReadString("Norvane", "LOG_CNT") != before) std::abort();
  std::remove(in.c_str());
  return 0;
}
