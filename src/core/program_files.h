#pragma once
#include <array>
#include <string>
#include <string_view>

// Every file and folder of the program folder, in the order the README lists them. All
// paths are program paths (relative to the program folder, Shift_JIS, '/' between parts):
// give them to DiskPath before they reach the file system.
namespace norvane::files {

inline constexpr std::string_view kIni = "norvane.ini";         // settings, section Norvane
inline constexpr std::string_view kChannels = "channels";       // the feed logs
inline constexpr std::string_view kChannelList = "ChannelList.xml";  // inside channels
inline constexpr std::string_view kOpmls = "opmls";             // the groups
inline constexpr std::string_view kCatalogue = "gp.xml";        // inside opmls
inline constexpr std::string_view kXsls = "xsls";               // one folder per style
inline constexpr std::string_view kDefaultStyle = "Default";    // inside xsls; lends newer pages to other styles
inline constexpr std::string_view kScrap = "scrap";             // the scrapbooks
inline constexpr std::string_view kScripts = "scripts";         // htr descriptors and scripts
inline constexpr std::string_view kWww = "www";                 // static files
inline constexpr std::string_view kSearch = "search.xml";       // the search catalogue
inline constexpr std::string_view kDictionary = "dic.csv";      // the synonym dictionary
inline constexpr std::string_view kIcons = "icons";             // the sites' icons, kept by the gateway
// The stylesheets every style has had from the start. A later page's stylesheet that a
// user's style lacks is taken from kDefaultStyle.
inline constexpr std::array<std::string_view, 5> kFirstStyleFiles{"rss.xsl", "ch.xsl", "chs.xsl", "gp.xsl",
                                                                  "add.xsl"};
// The index of every stored item for find.html: a cache made again from the logs and
// scrapbooks whenever it is missing or damaged (SQLite adds "-wal" and "-shm" beside it).
inline constexpr std::string_view kFindIndex = "find-index.db";
inline constexpr std::string_view kInstanceLock = "EX_Mutex_Norvane.lock";
// In a program folder seeded from an installed program's shipped files: each shipped
// file's hash as it was last copied in, so a later start tells an untouched shipped file
// (replaced by a newer one) from one the user changed (kept).
inline constexpr std::string_view kShippedList = "shipped-files.txt";

// The folders the program writes into, made at start when missing: a shipped or
// hand-made program folder need not hold them.
inline constexpr std::array<std::string_view, 4> kWrittenFolders{kChannels, kOpmls, kScrap, kIcons};

inline std::string Join(std::string_view folder, std::string_view name) {
  std::string path(folder);
  path += '/';
  path += name;
  return path;
}

inline std::string ChannelListPath() { return Join(kChannels, kChannelList); }
// A channel log: name is the channel list's file name for the feed, without ".xml".
inline std::string ChannelLogPath(std::string_view name) {
  return Join(kChannels, std::string(name) + ".xml");
}
inline std::string CataloguePath() { return Join(kOpmls, kCatalogue); }
inline std::string GroupPath(std::string_view file) { return Join(kOpmls, file); }
inline std::string StyleFolder(std::string_view style) { return Join(kXsls, style); }
inline std::string StylePath(std::string_view style, std::string_view file) {
  return Join(StyleFolder(style), file);
}
// A scrapbook's file: extension ".keys" (its keywords) or ".xml" (its feed).
inline std::string ScrapPath(std::string_view name, std::string_view extension) {
  return Join(kScrap, std::string(name) + std::string(extension));
}
inline std::string ScriptPath(std::string_view name) { return Join(kScripts, name); }
// A site's kept icon (extension ".icon") and the record of its last search (".txt"); key
// is derived from the site's address (IconKey, feeds/icon_store.h).
inline std::string IconPath(std::string_view key, std::string_view extension) {
  return Join(kIcons, std::string(key) + std::string(extension));
}

}  // namespace norvane::files
