#pragma once
#include <map>
#include <string>

#include "app/run_mode.h"

namespace norvane::test {

// An environment of just these variables, for the code that takes an EnvReader.
inline EnvReader EnvOf(std::map<std::string, std::string> values) {
  return [values = std::move(values)](const char* name) -> const char* {
    auto it = values.find(name);
    return it == values.end() ? nullptr : it->second.c_str();
  };
}

}  // namespace norvane::test
