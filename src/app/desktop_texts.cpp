#include "app/desktop_texts.h"

namespace norvane {

namespace {
std::string u(const char8_t* utf8) { return reinterpret_cast<const char*>(utf8); }

DesktopTexts Build() {
  DesktopTexts t;
  t.caption = "Norvane";
  t.tabSettings = u(u8"設定");
  t.tabWeb = "WEB";
  t.tabLog = u(u8"ログ");
  t.tabVersion = u(u8"バージョン情報");

  t.cmdOpenHomePage = u(u8"ホームページを開く(&H)");
  t.cmdSettings = u(u8"設定(&S)");
  t.cmdLog = u(u8"ログの表示(&L)");
  t.cmdOrganizer = u(u8"RSSグループの整理(&E)");
  t.cmdVersion = u(u8"バージョン情報(&V)");
  t.cmdExit = u(u8"終了(&X)");
  t.menuFile = u(u8"ファイル(&F)");
  t.menuTools = u(u8"ツール(&T)");
  t.menuHelp = u(u8"ヘルプ(&H)");

  t.portLabel = u(u8"ポート:");
  t.goRound = u(u8"巡回する");
  t.roundResult = u(u8"結果を表示する");
  t.styleLabel = u(u8"スタイル:");
  t.afterRestartGroup = u(u8"Norvaneの再起動後に有効");
  t.minimize = u(u8"最小化状態で起動する");
  t.openAtStart = u(u8"起動時にページを開く");
  t.connectionGroup = u(u8"外部接続");
  t.useProxy = u(u8"proxyを使う");
  t.proxyServerLabel = u(u8"サーバー");
  t.proxyPortLabel = u(u8"ポート");
  t.maxConnectionLabel = u(u8"最大接続数:");
  t.readTimeoutLabel = u(u8"接続タイムアウト(ミリ秒):");
  t.logCountLabel = u(u8"記事の保持数:");
  t.ok = "OK";
  t.cancel = u(u8"キャンセル");
  t.settingsSaved = u(u8"新しい設定が保存されました。");
  t.settingsNotSaved = u(u8"設定を保存できませんでした : ");
  t.portNeeded = u(u8"ポートには1から9999までの数を入れてください。");

  t.webModeOn = u(u8"Webモード起動中です。");
  t.webModeOff = u(u8"Webモード起動はポート:80");
  t.credentialsMissing = u(u8"UserNameかPassWordが空欄です。\r\nローカル以外のアクセス拒否");
  t.webNotes = u(
      u8"・セキュリティを考え、Webモード時はスクリプトを実行しません。\r\n"
      u8"\r\n"
      u8"・UserNameかPassWordが空欄の場合は外部接続をはじきます。\r\n"
      u8"　外部からアクセスする場合はUserNameとPassWordの設定を。\r\n"
      u8"\r\n"
      u8"・現在の仕様ではUserName,PassWordは保存されません。\r\n"
      u8"　再起動すると空欄にリセットされます。");
  t.userLabel = "UserName :";
  t.passLabel = "PassWord :";
  t.notesGroup = u(u8"いろいろ");

  t.versionLine = "Norvane Version 0.97";
  t.homePageUrl = "http://norvane/";

  t.organizerCaption = u(u8"RSSグループの整理");
  t.opmlColumn = "OPML";
  t.rssColumn = "RSS";
  t.titleLabel = u(u8"タイトル");
  t.fileLabel = u(u8"ファイル名");
  t.roundBefore = u(u8"巡回");
  t.roundAfter = u(u8"0分ごと");
  t.newGroup = u(u8"新規");
  t.addMore = u(u8"追加...");
  t.deleteMore = u(u8"削除...");
  t.up = u(u8"↑");
  t.down = u(u8"↓");
  t.rssUrlLabel = u(u8"RSSのURL");
  t.descriptionLabel = "description";
  t.linkLabel = "Link";
  t.scrapMore = u(u8"スクラップ...");
  t.searchMore = u(u8"検索...");
  t.deleteFeed = u(u8"削除");

  t.cancelling = u(u8"キャンセルしています...");
  t.browse = u(u8"参照...");
  // Qt's form of "OPMLファイル|*.opml;*.xml|全てのファイル(*.*)|*.*": the patterns in
  // the last parentheses.
  t.opmlFilter = u(u8"OPMLファイル (*.opml *.xml)");
  t.allFilesFilter = u(u8"全てのファイル(*.*) (*)");
  t.chooseFile = u(u8"ファイルを開く");

  t.searchCaption = u(u8"とりあえず検索");
  t.searchLabel = u(u8"検索");
  t.show = u(u8"表示");

  t.scrapCaption = u(u8"スクラップブックの追加");
  t.keywordsGroup = u(u8"キーワード");
  t.addKeyword = u(u8"追加");
  t.deleteKeyword = u(u8"削除");

  t.noTray =
      "norvane: this desktop has no notification area; the window stays open and closing it "
      "minimises it";
  return t;
}
}  // namespace

const DesktopTexts& DT() {
  static const DesktopTexts texts = Build();
  return texts;
}

}  // namespace norvane
