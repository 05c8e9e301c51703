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
  t.refusedForeign = s(u8"ほかのサイトや画像などからの変更は受け付けません。Norvane のページから操作してください。");
  t.refusedHost = s(u8"このホスト名では Norvane を使えません。localhost か 127.0.0.1 で開いてください。");
  t.refusedMethod = s(u8"この方法の要求には応じられません。");
  t.refusedTooLarge = s(u8"送られたデータが大きすぎます。ファイルは 5 MB までです。何も書き込んでいません。");
  t.errorFeedTitle = s(u8"エラーメッセージ");
  t.fetchFailed = s(u8"取得できませんでした");
  t.rssBuildFailed = s(u8"RSS生成失敗");
  t.xsltFailed = s(u8"XSLT変換エラー");
  t.searchEmpty = s(u8"結果が空");
  t.searchFailed = s(u8"検索結果取得失敗");
  t.patrolHeading = s(u8"　[巡回結果]");
  t.patrolNewOpen = s(u8"□ (");
  t.patrolNone = s(u8"■");

  // pattern
  t.regexpBadDoubleByte = s(u8"不正な２バイト文字コードです。");
  t.regexpNeedCharAfterEscape = s(u8"\"\\\"の次には文字が必要です。");
  t.regexpBadHex = s(u8"不正な１６進数コード表記です。");
  t.regexpBadOctal = s(u8"不正な８進数コード表記です。");
  t.regexpNeedRightBracket = s(u8"右ブラケット\"]\"が必要です");
  t.regexpBadRange = s(u8"不正なキャラクタ範囲です");
  t.regexpBadCharClass = s(u8"不正なキャラクタクラス指定です。");
  t.regexpNeedAtom = s(u8"普通の文字、または左括弧\"(\"が必要です");
  t.regexpNeedRightParen = s(u8"右(閉じ)括弧が必要です");
  t.regexpExtraChars = s(u8"正規表現に余分な文字があります");
  t.regexpTooComplex = s(u8"正規表現が複雑すぎます");
  // feeds
  t.xmlParseFailed = s(u8"XML解析失敗");
  t.xmlParseFailedRaise = s(u8"TRXML.LoadFromXML XML解析失敗");
  t.xmlFallback = s(u8"MSXML.Load MSXMLにまかせます : ");
  t.xmlLoadFailed = s(u8"XML読み込み失敗");
  t.xmlBuildFailed = s(u8"XML生成失敗");
  t.xmlCannotOpen = s(u8"ファイル ");
  t.xmlCannotOpenAfter = s(u8" は開けません");
  t.xmlCannotSave = s(u8"ファイルを保存できません : ");
  t.notRss = s(u8"RSSじゃない？");
  t.noChannelElement = s(u8"チャンネルの要素がありません : ");
  t.channelListSetAside = s(u8"チャンネルリストを読めないため退避し、新しいリストを始めます : ");
  t.healthDropped = s(u8"チャンネルリストの壊れた取得記録を捨てました : ");
  t.healthTimeout = s(u8"時間切れ");
  t.healthNotAFeed = s(u8"フィードではない応答");
  t.healthXmlError = s(u8"XMLとして読めない応答");
  t.healthTooLarge = s(u8"大きすぎる応答");
  t.healthTransport = s(u8"接続できません");
  t.healthSinceOpen = s(u8"（");
  t.healthSinceClose = s(u8"から、");
  t.healthFailuresAfter = s(u8"回続けて失敗）");
  t.healthLastGood = s(u8"。最後に取得できたのは");
  t.healthNeverGood = s(u8"。まだ一度も取得できていません");
  t.healthWaitBefore = s(u8"。サーバーの求めにより、次の取得は");
  t.healthWaitAfter = s(u8"以降です");
  t.healthGone = s(u8"。このフィードはなくなりました。自動では取得しません");
  t.healthMoved = s(u8"フィードは次のアドレスへ移転しました : ");
  t.healthUnknownFeed = s(u8"どのグループにもないフィードです : ");
  t.healthMovedDone = s(u8"新しいアドレスに切り替えました : ");
  t.healthRemovedDone = s(u8"グループから外しました : ");
  t.healthRetryDone = s(u8"もう一度取得しました : ");
  t.healthMonth = s(u8"月");
  t.healthDay = s(u8"日");
  t.healthWriteFailed = s(u8"グループファイルを書き換えられませんでした : ");
  // htr
  t.htrCannotOpen = s(u8"スクリプト定義ファイルを読み込めません : ");
  t.htrMissingPart = s(u8"スクリプト定義ファイルに必要な項目がありません : ");
  t.htrOutside = s(u8"scripts フォルダの外は指定できません : ");

  // scrapbooks
  t.scrapDescriptionSuffix = s(u8"でスクラップ中");
  t.scrapError = s(u8"スクラップエラー");
  t.scrapBookSkipped = s(u8"スクラップを読み込めないため使いません : ");
  t.scrapBadName = s(u8"スクラップ名に使えない文字があります : ");
  t.scrapNoKeywordFile = s(u8"キーワードファイルを開けません : ");
  t.scrapBadKeywordFile = s(u8"キーワードファイルを解析できません : ");
    t.scrapBadKeyword = s(u8"キーワードが正しくありません : ");
  t.scrapFeedUnreadable = s(u8"スクラップのフィードを読めないため、ファイルはそのまま残します : ");
  t.scrapSaveFailed = s(u8"スクラップを保存できません : ");
  t.scrapNameNotConverted = s(u8"ファイル名をシフトJISにできないため読み飛ばします : ");
  t.scrapOutside = s(u8"スクラップのファイルがフォルダの外を指しています : ");
  // groups
  t.groupCatalogueSetAside = s(u8"グループ一覧を読めないため退避し、OPMLファイルから作り直します : ");
  t.gpBuildFailed = s(u8"RSSグループの作成に失敗");
  t.noSuchGroupFile = s(u8"ファイルが存在しません。");
  t.badFeedUrl = s(u8"URLが変です。");
  t.opmlNotFound = s(u8"OPMLが見つかりません");
  t.opmlNoBody = s(u8"OPMLにbody要素がありません : ");
  t.enterUrl = s(u8"URLを入力してください。");
  t.chooseOpml = s(u8"OPMLを選択してください。");
  t.confirmAdd = s(u8"このフィードを追加するには「追加」を押してください。");
  t.feedListFailed = s(u8"XMLリストの作成失敗");
  t.channelPageFailed = s(u8"Chanels.html作成失敗 : ");
  // the group organizer
  t.orgImportCaption = s(u8"OPMLの追加");
  t.orgImportPrompt = s(u8"URLかパスを入力してください。");
  t.orgAddFeedCaption = s(u8"RSSの追加");
  t.orgDeleteQuestion = s(u8"を削除しますか？");
  t.orgReadError = s(u8"読み込みエラー");
  t.orgGroupBroken = s(u8"opml読み込みエラー (Unit3, line 231)");
  t.orgFeedBroken = s(u8"RSSの読み込みエラー (Unit3, line 277)");
  t.orgFeedNotAdded = s(u8"RSSとして読めないため追加しませんでした : ");
  t.orgImportFailed = s(u8"OPMLを読み込めませんでした : ");
  t.orgImportNoTitle = s(u8"タイトル (opml/head/title) のないOPMLは追加できません : ");
  t.orgBadFileName = s(u8"このファイル名は使えません。\".opml\" で終わる、フォルダを含まない名前にしてください : ");
  t.orgSaveFailed = s(u8"保存できませんでした : ");
  t.orgBadScrapTitle = s(u8"スクラップブックの名前に使えない文字があります (/ \\ : * ? \" < > | & = # % + と制御文字) : ");
  t.orgScrapFailed = s(u8"スクラップブックを作れませんでした : ");
  t.orgDropFailed = s(u8"RSSをほかのグループへ移せませんでした : ");
  t.orgFetching = s(u8"読み込んでいます : ");
  // the add page's search for a site's feeds
  t.discoveryNone = s(u8"このページはフィードではなく、フィードも案内していません。サイトのよくある場所 (/feed、/rss.xml など) にも見つかりませんでした。");
  t.discoveryLinkBack = s(u8"このページのフィードへのリンクはページ自身を指しているため使えません。");
  t.discoveryChoose = s(u8"このページには複数のフィードがあります。追加するフィードを選んでください。");
  t.discoveryFound = s(u8"このページのフィードが見つかりました。「追加」を押すと、ページではなくフィードのアドレスがグループに入ります。");
  // OPML export and import
  t.exportScrapbooks = s(u8"スクラップブック");
  t.importDoctype = s(u8"DOCTYPE (エンティティの宣言) を含むファイルは、安全のため読み込みません。何も書き込んでいません。");
  t.importNotXml = s(u8"XML として読めないファイルです。何も書き込んでいません : ");
  t.importNotOpml = s(u8"OPML のファイルではありません (opml/body がありません)。何も書き込んでいません。");
  t.importNoFile = s(u8"読み込む OPML ファイルを選んでください。");
  t.importNoToken = s(u8"Norvane のページのフォームから送られていないため、読み込みませんでした。グループのページからもう一度ファイルを選んでください。");
  t.importIncomplete = s(u8"アップロードが途中で切れたため、何も書き込んでいません。もう一度送ってください。");
  t.importNothing = s(u8"このファイルにはフィードがありません。");
  t.importLooseTitle = s(u8"インポート");
  t.importFolderTitle = s(u8"名前のないフォルダ");
  t.importDuplicate = s(u8"グループにすでにあります");
  t.importNoAddress = s(u8"フィードのアドレス (xmlUrl) がありません");
  t.importBadScheme = s(u8"http か https のアドレスではありません");
  t.importEmptyFolder = s(u8"フィードのないフォルダです");
  t.importGroupUnreadable = s(u8"グループのファイルを読めませんでした : ");
  t.importWriteFailed = s(u8"グループのファイルを書き込めませんでした : ");
  t.importCatalogueFailed = s(u8"グループの一覧 (gp.xml) を書き込めませんでした。新しいグループは次の起動で一覧に入ります : ");

  t.keptBookName = s(u8"保存した記事");
  t.keptBookDescription = s(u8"☆で保存した記事");
  t.findHeading = s(u8"記事の検索");
  t.findTitleBefore = s(u8"「");
  t.findTitleAfter = s(u8"」の検索結果");
  t.findCountAfter = s(u8" 件");
  t.keepHeading = s(u8"記事の保存");
  t.keepConfirm = s(u8"この記事を保存しますか？");
  t.dropConfirm = s(u8"この記事の保存をやめますか？");
  t.keepButton = s(u8"保存する");
  t.dropButton = s(u8"保存をやめる");
  t.keepDone = s(u8"保存しました。");
  t.keepAlready = s(u8"この記事はもう保存してあります。");
  t.keepDropped = s(u8"保存をやめました。");
  t.keepNotKept = s(u8"この記事は保存されていません。");
  t.keepNoItem = s(u8"記事が見つかりません。フィードが更新されて、ログから外れたのかもしれません。");
  t.keepNoBook = s(u8"そのスクラップブックはありません : ");
  t.keepFailed = s(u8"保存できませんでした : ");
  t.keepBookBefore = s(u8"保存先 : ");
  t.keepBack = s(u8"元のページへ戻る");
  return t;
}
}  // namespace

const Texts& T() {
  static const Texts texts = Build();
  return texts;
}

}  // namespace norvane
