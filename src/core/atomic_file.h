#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace norvane {

// Replaces the file at path (a disk path, UTF-8) with data: written to a temporary file
// beside it, flushed, then renamed over it, so a crash or a full disk leaves either the
// old file or the new one. Returns false (with errno kept) when anything failed; the
// old file is then untouched and no temporary file is left behind.
bool WriteFileAtomic(const std::string& path, std::string_view data);

// Files are read whole; none the program reads may be larger than this.
inline constexpr size_t kMaxReadBytes = 256u * 1024 * 1024;

// Reads a whole file; false when it cannot be opened or read, or when it holds more
// than limit bytes (errno is then EFBIG and data is left empty).
bool ReadWholeFile(const std::string& path, std::string& data, size_t limit = kMaxReadBytes);

}  // namespace norvane
