#include "core/texts.h"

#include "core/sjis.h"

namespace norvane {

namespace {
Texts Build() {
  auto s = [](const char8_t* utf8) {
    return Utf8ToSjis(reinterpret_cast<const char*>(utf8));
  };
  Texts t;
  t.accessLogHeading = s(u8"外部からのアクセスログ");
  t.loadError = s(u8"ロードエラー");
  t.listenFailedBefore = s(u8"ポート ");
  t.listenFailedAfter = s(u8" で待ち受けできません。ほかのプログラムが使っていないか確かめてください。");
  t.patrolHeading = s(u8"　[巡回結果]");
  t.patrolNewOpen = s(u8"□ (");
  t.patrolNone = s(u8"■");

  // feeds
  t.xmlParseFailed = s(u8"XML解析失敗");
  t.xmlParseFailedRaise = s(u8"TRXML.LoadFromXML XML解析失敗");
  t.xmlFallback = s(u8"MSXML.Load MSXMLにまかせます : ");
  t.xmlLoadFailed = s(u8"XML読み込み失敗");
  t.xmlBuildFailed = s(u8"XML生成失敗");
  t.xmlCannotOpen = s(u8"ファイルを開けません : ");
  t.xmlCannotSave = s(u8"ファイルを保存できません : ");
  t.notRss = s(u8"RSSじゃない？");
  t.noChannelElement = s(u8"チャンネルの要素がありません : ");
  t.channelListSetAside = s(u8"チャンネルリストを読めないため退避し、新しいリストを始めます : ");
  return t;
}
}  // namespace

const Texts& T() {
  static const Texts texts = Build();
  return texts;
}

}  // namespace norvane
