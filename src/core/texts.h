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

  // feeds: the XML document, the feed reader and the channel list
  std::string xmlParseFailed;      // "XML解析失敗"
  std::string xmlParseFailedRaise; // "TRXML.LoadFromXML XML解析失敗"
  std::string xmlFallback;         // "MSXML.Load MSXMLにまかせます : " (the source follows)
  std::string xmlLoadFailed;       // "XML読み込み失敗"
  std::string xmlBuildFailed;      // "XML生成失敗"
  std::string xmlCannotOpen;       // reading a file failed (the path follows)
  std::string xmlCannotSave;       // writing a file failed (the path follows)
  std::string notRss;              // "RSSじゃない？"
  std::string noChannelElement;    // a channel title, link or description is missing
  std::string channelListSetAside; // console line: a damaged channel list was renamed
};

const Texts& T();

}  // namespace norvane
