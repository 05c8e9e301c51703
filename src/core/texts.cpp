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
  return t;
}
}  // namespace

const Texts& T() {
  static const Texts texts = Build();
  return texts;
}

}  // namespace norvane
