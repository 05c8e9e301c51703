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

  // the router's short refusal pages
  std::string refusedForeign;  // a change asked for by another site, or by an image or the like
  std::string refusedHost;     // a Host header that does not name this machine
  std::string refusedMethod;   // a method other than GET, HEAD and POST
  std::string refusedTooLarge; // a request body past its bound (an upload over 5 MB)

  // error feed
  std::string errorFeedTitle;

  // channel logs and page builders
  std::string fetchFailed;       // a first fetch that brought no feed
  std::string rssBuildFailed;    // an empty document at the end of a feed request
  std::string xsltFailed;        // before a transform's error message
  std::string searchEmpty;       // a search that came back empty
  std::string searchFailed;      // before the search failure's message

  // patrol
  std::string patrolHeading;  // first line of a patrol result
  std::string patrolNewOpen;  // before the count of new items
  std::string patrolNone;     // before a channel that brought nothing new

  // pattern: the messages of ERegExpParser
  std::string regexpBadDoubleByte;        // a lead byte at the very end
  std::string regexpNeedCharAfterEscape;  // a backslash at the very end
  std::string regexpBadHex;               // \x without a hexadecimal digit
  std::string regexpBadOctal;             // an octal escape above 0xFFFF
  std::string regexpNeedRightBracket;     // an unterminated bracket expression
  std::string regexpBadRange;             // a range whose end is below its start
  std::string regexpBadCharClass;         // an empty bracket expression
  std::string regexpNeedAtom;             // a quantifier, ")" or "]" where an atom must stand
  std::string regexpNeedRightParen;       // "(" without its ")"
  std::string regexpExtraChars;           // characters left after a complete pattern
  std::string regexpTooComplex;           // nesting or size beyond what the engine takes
  // feeds: the XML document, the feed reader and the channel list
  std::string xmlParseFailed;      // "XML解析失敗"
  std::string xmlParseFailedRaise; // "TRXML.LoadFromXML XML解析失敗"
  std::string xmlFallback;         // "MSXML.Load MSXMLにまかせます : " (the source follows)
  std::string xmlLoadFailed;       // "XML読み込み失敗"
  std::string xmlBuildFailed;      // "XML生成失敗"
  std::string xmlCannotOpen;       // reading a file failed (the path follows)
  std::string xmlCannotOpenAfter;  // after the file name
  std::string xmlCannotSave;       // writing a file failed (the path follows)
  std::string notRss;              // "RSSじゃない？"
  std::string noChannelElement;    // a channel title, link or description is missing
  std::string channelListSetAside; // console line: a damaged channel list was renamed
  std::string healthDropped;       // console line: a damaged health record was dropped (URL follows)
  // a feed's health, as its notice and the health page tell it
  std::string healthTimeout, healthNotAFeed, healthXmlError, healthTooLarge, healthTransport;
  std::string healthSinceOpen;     // " (" before the day the failures began
  std::string healthSinceClose;    // after that day, before the count
  std::string healthFailuresAfter; // after the count of failures in a row
  std::string healthLastGood;      // before the day of the last good fetch
  std::string healthNeverGood;     // no fetch has ever gone well
  std::string healthWaitBefore, healthWaitAfter;  // around the time the server asked to wait until
  std::string healthGone;          // 410: the feed is gone, not fetched automatically
  std::string healthMoved;         // before the address the feed moved to
  std::string healthUnknownFeed;   // an action on a feed no group holds
  std::string healthMovedDone;     // after a feed was moved to its new address
  std::string healthRemovedDone;   // after a gone feed was removed from its groups
  std::string healthRetryDone;     // after a feed was tried again
  std::string healthMonth, healthDay;  // after the month's and the day's number
  std::string healthWriteFailed;   // a group file could not be written (reason follows)
  // htr: the script gateway (each text is followed by the descriptor or script name)
  std::string htrCannotOpen;   // the descriptor cannot be read
  std::string htrMissingPart;  // a required part of the descriptor is missing
  std::string htrOutside;      // a descriptor or script name leaves the scripts folder

  // scrapbooks
  std::string scrapDescriptionSuffix;  // "でスクラップ中", after the keywords
  std::string scrapError;              // "スクラップエラー"
  std::string scrapBookSkipped;        // console line: a book left out at start (name, reason follow)
  std::string scrapBadName;            // a book name that cannot be a file name
  std::string scrapNoKeywordFile;      // the keyword file cannot be read (path follows)
  std::string scrapBadKeywordFile;     // the keyword file is no XML document (path follows)
  std::string scrapBadKeyword;         // the keywords form no pattern (the matcher's message follows)
  std::string scrapFeedUnreadable;     // console line: the feed file stays as it is (path follows)
  std::string scrapSaveFailed;         // console line: a feed could not be saved (message follows)
  std::string scrapNameNotConverted;   // console line: a file name without a Shift_JIS form
  std::string scrapOutside;            // a book file is a link out of the folder (path follows)

  // groups: the catalogue, the group pages and the channel pages
  std::string groupCatalogueSetAside;  // console line: a damaged gp.xml was renamed
  std::string gpBuildFailed;           // "RSSグループの作成に失敗" (the message follows)
  std::string noSuchGroupFile;         // "ファイルが存在しません。"
  std::string badFeedUrl;              // "URLが変です。"
  std::string opmlNotFound;            // "OPMLが見つかりません"
  std::string opmlNoBody;              // a group file without opml/body (the path follows)
  std::string enterUrl;                // "URLを入力してください。"
  std::string chooseOpml;              // "OPMLを選択してください。"
  std::string confirmAdd;              // the add form, filled in, waits for the user's click
  std::string feedListFailed;          // "XMLリストの作成失敗"
  std::string channelPageFailed;       // "Chanels.html作成失敗 : " (the message follows)

  // the group organizer
  std::string orgImportCaption, orgImportPrompt;    // the import dialog
  std::string orgAddFeedCaption;                    // the add-feed dialog (prompt: enterUrl)
  std::string orgDeleteQuestion;                    // after the file name
  std::string orgReadError;                         // "読み込みエラー"
  std::string orgGroupBroken, orgFeedBroken;        // the two assertions of a broken state
  std::string orgFeedNotAdded;      // a URL that gave no feed (the reason follows)
  std::string orgImportFailed;      // an import URL or file that could not be read
  std::string orgImportNoTitle;     // an imported OPML without opml/head/title
  std::string orgBadFileName;       // a group file name that cannot be used (the name follows)
  std::string orgSaveFailed;        // a group or catalogue file could not be written
  std::string orgBadScrapTitle;     // a scrapbook title that is no file name (the title follows)
  std::string orgScrapFailed;       // the new scrapbook could not be made (the reason follows)
  std::string orgDropFailed;        // a feed could not be moved to the other group
  std::string orgFetching;          // a feed or group being read from the net (the URL follows)

  // the add page's search for a site's feeds
  std::string discoveryNone;      // a page without a feed, nor any at the site's usual places
  std::string discoveryLinkBack;  // the page's feed link leads back to the page itself
  std::string discoveryChoose;    // several feeds: one is to be chosen
  std::string discoveryFound;     // one feed found on a page: one click adds it

  // OPML export and import
  std::string exportScrapbooks;  // the export's folder of scrapbooks
  std::string importDoctype;     // a file with a DOCTYPE: refused, nothing written
  std::string importNotXml;      // bytes that are no XML (the parser's words follow)
  std::string importNotOpml;     // XML without opml/body
  std::string importNoFile;      // an upload without a file, or an empty one
  std::string importNoToken;     // an upload without the page's form token
  std::string importIncomplete;  // an upload that broke off
  std::string importNothing;     // a file without a single feed
  std::string importLooseTitle;  // the group of loose feeds when the file has no title
  std::string importFolderTitle; // a folder without a name
  std::string importDuplicate;   // skipped: the group has that address already
  std::string importNoAddress;   // skipped: no xmlUrl
  std::string importBadScheme;   // skipped: an address that is not http or https
  std::string importEmptyFolder; // skipped: a folder without feeds
  std::string importGroupUnreadable;  // skipped: the target group file could not be read (why follows)
  std::string importWriteFailed;      // skipped: the group file could not be written (why follows)
  std::string importCatalogueFailed;  // the catalogue could not be written (why follows)
  // finding stored items, and keeping them
  std::string keptBookName;         // the scrapbook kept items go to: "保存した記事"
  std::string keptBookDescription;  // its channel description
  std::string findHeading;          // the search page without a phrase
  std::string findTitleBefore;      // around the phrase in the search feed's title
  std::string findTitleAfter;
  std::string findCountAfter;       // after the number of items found
  std::string keepHeading;          // the answer page of a keep without script
  std::string keepConfirm;          // a keep that waits for the user's click
  std::string dropConfirm;          // the same for taking an item out
  std::string keepButton, dropButton;
  std::string keepDone, keepAlready, keepDropped, keepNotKept;  // what a keep did
  std::string keepNoItem;           // the item is no longer in its feed's log
  std::string keepNoBook;           // no scrapbook of the name given (the name follows)
  std::string keepFailed;           // the book could not be written (the reason follows)
  std::string keepBookBefore;       // before the book's name
  std::string keepBack;             // the link back to the page
};

const Texts& T();

}  // namespace norvane
