#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// The quoting rule of gateway command lines: a piece that holds a space, a control
// character or a double quote is written inside double quotes, an inner double quote
// doubled. An empty piece is written as "" so that it keeps its place among the
// arguments instead of vanishing between two spaces.
std::string QuoteArgument(std::string_view piece);

// command + " " + the pieces, each quoted as needed, joined by single spaces (no
// pieces: the command followed by one space). The command itself is taken as written.
std::string JoinCommandLine(std::string_view command, const std::vector<std::string>& pieces);

// The inverse: splits at spaces outside double quotes; inside quotes a doubled double
// quote stands for one. Quoted and unquoted parts that touch form one piece; an
// unclosed quote runs to the end. Runs of spaces separate, they make no empty pieces.
std::vector<std::string> SplitCommandLine(std::string_view line);

}  // namespace norvane
