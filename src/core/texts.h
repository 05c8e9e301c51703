#pragma once
#include <string>

namespace norvane {

// Every Japanese text the program itself says, in Shift_JIS, converted once from the
// UTF-8 literals of texts.cpp. Add new texts there, nowhere else.
struct Texts {
  std::string accessLogHeading;  // first line of the access log
  std::string loadError;         // style box when no style exists
  std::string listenFailedBefore;  // "port N cannot be listened on", around N
  std::string listenFailedAfter;

  // patrol
  std::string patrolHeading;  // first line of a patrol result
  std::string patrolNewOpen;  // before the count of new items
  std::string patrolNone;     // before a channel that brought nothing new
};

const Texts& T();

}  // namespace norvane
