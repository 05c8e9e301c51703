#pragma once
#include <string>
#include <vector>

namespace norvane {

// What seeding a program folder did, by path relative to it.
struct SeedResult {
  std::vector<std::string> added;    // missing in the folder: copied in
  std::vector<std::string> updated;  // still the shipped file of an earlier start: replaced
  std::vector<std::string> kept;     // changed by the user and shipped anew: left as it is
  std::vector<std::string> failed;   // "path: reason", nothing of it written
  bool first = false;                // the folder had never been seeded
};

// Copies an installed program's shipped files (the read-only folder `shipped`, disk
// paths) into a user's program folder `folder`, which must exist, without overwriting
// anything the user has: a file is copied when it is missing, and replaced only while it
// is byte for byte the shipped file an earlier start copied in (files::kShippedList keeps
// their hashes). A file the user changed, and anything that is not a plain file, stays.
// Only plain files and folders of `shipped` are read, never a symbolic link. Two starts
// seeding the same folder at once take turns.
SeedResult SeedFromShipped(const std::string& shipped, const std::string& folder);

}  // namespace norvane
