#include "htr/command_line.h"

namespace norvane {

std::string QuoteArgument(std::string_view piece) {
  bool quote = piece.empty();
  for (char c : piece) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b <= 32 || b == 127 || c == '"') quote = true;
  }
  if (!quote) return std::string(piece);
  std::string out = "\"";
  for (char c : piece) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string JoinCommandLine(std::string_view command, const std::vector<std::string>& pieces) {
  std::string line(command);
  line += ' ';
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i) line += ' ';
    line += QuoteArgument(pieces[i]);
  }
  return line;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
  // Shift_JIS trail bytes are never 0x20 or 0x22, so a byte scan is safe.
  std::vector<std::string> pieces;
  std::string piece;
  bool inPiece = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c != '"') {
        piece += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        piece += '"';
        ++i;
      } else {
        quoted = false;
      }
    } else if (c == ' ') {
      if (inPiece) pieces.push_back(std::move(piece));
      piece.clear();
      inPiece = false;
    } else {
      inPiece = true;
      if (c == '"')
        quoted = true;
      else
        piece += c;
    }
  }
  if (inPiece) pieces.push_back(std::move(piece));
  return pieces;
}

}  // namespace norvane
