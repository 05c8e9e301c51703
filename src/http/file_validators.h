#pragma once
#include <sys/stat.h>

#include <ctime>
#include <string>
#include <string_view>

namespace norvane {

// What tells one state of a file sent as it lies on disk from another, so that a browser
// keeps static files and asks again with If-None-Match or If-Modified-Since.
struct FileValidators {
  std::string etag;          // a strong entity tag, quotes included
  std::string lastModified;  // HTTP date; empty while the file's last second is not over
  std::time_t modified = 0;  // the date of lastModified, in seconds
};

// The validators of a file as fstat saw it, at the time now.
FileValidators ValidatorsOf(const struct stat& st, std::time_t now);

// True when the conditions of a GET or HEAD request say the client holds this very
// state of the file, so it is answered 304. If-None-Match, when sent, decides alone.
bool ClientHoldsFile(std::string_view ifNoneMatch, std::string_view ifModifiedSince,
                     const FileValidators& file);

}  // namespace norvane
