#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "groups/group_catalogue.h"

namespace norvane {

// One feed of an imported file, as the report tells it. Program text (Shift_JIS).
struct ImportLine {
  std::string title;
  std::string url;
  std::string group;   // the title of the group it went to, or would have gone to
  std::string reason;  // why it was skipped; empty for an added feed
};

// A group an import added feeds to.
struct ImportedGroup {
  std::string title;
  std::string file;
  bool made = false;  // a new group; otherwise one of the catalogue's
  size_t added = 0;
};

struct ImportReport {
  // Why the whole file was refused; nothing was written then.
  std::string refused;
  std::vector<ImportedGroup> groups;
  std::vector<ImportLine> added, skipped;
  // The catalogue could not be written (the new groups' files were): why.
  std::string catalogueError;
};

// Imports an OPML file of another reader into the groups:
// - a file with a DOCTYPE (and so any entity declaration: external entities, a billion
//   laughs) is refused before it is parsed; so are bytes that are no XML and XML that is
//   no OPML (opml/body). Nothing is written then.
// - each top-level folder (an outline holding outlines) goes to a group of its title
//   (text, else title), its nested folders flattened into it; feeds outside any folder
//   go to a group named after the file's head/title. A group of the catalogue with that
//   title takes them; otherwise a new group is made, its file named after the title,
//   with (2), (3), ... when that name is taken.
// - a feed is an outline with an http or https xmlUrl; it is skipped when its target
//   group already holds that address (so a second import of the same file adds
//   nothing), and said why when it has no usable address.
// Each group file is written atomically under GroupFileLock, then the new groups go into
// the catalogue. Whole imports run one at a time. Texts and addresses are copied DOM to
// DOM into the group files: nothing is lost to Shift_JIS.
ImportReport ImportOpml(TGP& gp, std::string_view bytes);

}  // namespace norvane
