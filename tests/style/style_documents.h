#pragma once
// Hand-made documents of the shapes the page builders give each stylesheet (UTF-8 here;
// the tests hand them over in Shift_JIS).

#include <string>

namespace norvane::test {

// A channel log of an RSS 1.0 feed after a few reloads: one item of each mark.
inline std::string Rss10Log(const std::string& firstDescription =
                                "<p>本文 <b>太字</b> と <a href=\"http://127.0.0.1/x\">リンク</a></p>") {
  return R"(<rdf:RDF xmlns="http://purl.org/rss/1.0/" xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:content="http://purl.org/rss/1.0/modules/content/" xml:lang="ja" xmlns:rg="http://norvane/rg">
<channel rdf:about="http://127.0.0.1:4565/news.rdf">
<rg:revday>Tue, 09 Dec 2025 03:04:05 GMT</rg:revday>
<rg:link>http://127.0.0.1:4565/feed.cgi?a=1&amp;b=2</rg:link>
<title>テスト通信</title>
<link>http://127.0.0.1/site/</link>
<description>テスト用のチャンネル</description>
</channel>
<item rdf:about="http://127.0.0.1/a1"><rg:log type="new"/><rg:revday>Tue, 09 Dec 2025 03:04:05 GMT</rg:revday>
<title>一番目の記事</title><link>http://127.0.0.1/a1</link>
<description>要約</description>
<content:encoded><![CDATA[)" + firstDescription + R"(]]></content:encoded>
<dc:date>2025-12-09T10:00:00+09:00</dc:date><dc:creator>書き手</dc:creator></item>
<item rdf:about="http://127.0.0.1/a2"><rg:log type="today"/><rg:revday>Mon, 08 Dec 2025 01:00:00 GMT</rg:revday>
<title>二番目の記事</title><link>http://127.0.0.1/a2</link>
<description>二番目の要約</description></item>
<item rdf:about="http://127.0.0.1/a3"><rg:log type="log"/><rg:revday>Sun, 30 Nov 2025 01:00:00 GMT</rg:revday>
<title>三番目の記事</title><link>http://127.0.0.1/a3</link></item>
</rdf:RDF>)";
}

// An RSS 2.0 channel log with escaped HTML in its descriptions and pubDate.
inline std::string Rss20Log() {
  return R"(<rss version="2.0" xmlns:rg="http://norvane/rg"><channel>
<rg:revday>Tue, 09 Dec 2025 03:04:05 GMT</rg:revday><rg:link>http://127.0.0.1:8080/rss?q=a&amp;n=10</rg:link>
<title>二点零</title><link>http://127.0.0.1/two/</link><description>RSS 2.0 のチャンネル</description>
<item><rg:log type="new"/><rg:revday>Tue, 09 Dec 2025 03:04:05 GMT</rg:revday><title>新しい話</title><link>http://127.0.0.1/n1</link>
<description>&lt;p&gt;段落&lt;/p&gt;</description><pubDate>Tue, 09 Dec 2025 08:15:00 +0900</pubDate></item>
<item><rg:log type="today"/><rg:revday>Mon, 08 Dec 2025 03:04:05 GMT</rg:revday><title>続く話</title><link>http://127.0.0.1/n2</link>
<description>平文の説明</description><pubDate>Mon, 08 Dec 2025 20:00:00 GMT</pubDate></item>
</channel></rss>)";
}

inline std::string ErrorFeed(const std::string& message) {
  return R"(<rdf:RDF xmlns="http://purl.org/rss/1.0/" xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xml:lang="ja" ><channel rdf:about=""><title>エラーメッセージ</title><link></link><description><![CDATA[)" +
         message + "]]></description></channel></rdf:RDF>";
}

// The group page's document: catalogue, selection, the chosen group's whole opml.
inline std::string GroupDocument(const std::string& selected = R"(<selected title="はじめて" file="sample.opml"/>)") {
  return R"(<group><items><item title="はじめて" file="sample.opml" goround="6"/><item title="ニュース" file="ニュース.opml" goround="0"/></items>)" +
         selected +
         R"(<opml version="1.0"><head><title>はじめての見出し</title></head><body>
<outline text="一つ目のフィード" type="rss" xmlUrl="http://127.0.0.1/one.rdf" description="一つ目の説明" htmlUrl="http://127.0.0.1/one/"/>
<outline text="入れ物"><outline text="入れ子のフィード" type="rss" xmlUrl="http://127.0.0.1/feed?x=1&amp;y=2" description="入れ子の説明" htmlUrl="http://127.0.0.1/nested/"/></outline>
</body></opml></group>)";
}

// A page of find.html: the search's document with its counts, where the index stands,
// the groups to narrow to, and items with their feeds and keep buttons.
inline std::string FindDocument(const std::string& outcome = "found") {
  return R"(<rss version="2.0" xmlns:rg="http://norvane/rg" xmlns:dc="http://purl.org/dc/elements/1.1/"><rg:token>0f1e2d</rg:token><channel>
<title>「ガソリン」の検索結果</title><link>http://localhost:4565/find.html?ue=on&amp;w=x</link><description>120 件</description>
<rg:find outcome=")" + outcome + R"(" max="1000" total="120" page="2" pages="3" first="51" last="100">
<rg:query>ガソリン</rg:query><rg:group>sample.opml</rg:group><rg:error>普通の文字、または左括弧"("が必要です</rg:error>
<rg:index state="building" done="40" total="100"/>
<rg:self>find.html?ue=on&amp;_charset_=Shift_JIS&amp;w=%83K&amp;p=2</rg:self>
<rg:prev>find.html?ue=on&amp;_charset_=Shift_JIS&amp;w=%83K</rg:prev><rg:next>find.html?ue=on&amp;_charset_=Shift_JIS&amp;w=%83K&amp;p=3</rg:next>
<rg:feed>find.xml?ue=on&amp;_charset_=Shift_JIS&amp;w=%83K</rg:feed><rg:subscribe>add.html?u=http://localhost:4565/find.xml?w=%83K/</rg:subscribe>
<items><item title="はじめて" file="sample.opml" goround="6"/><item title="ニュース" file="ニュース.opml" goround="0"/></items>
</rg:find>
<item><rg:log type="log"/><title>ｶﾞｿﾘﾝの値段</title><link>http://127.0.0.1/g1</link><description>&lt;p&gt;がそりん&lt;/p&gt;</description>
<dc:date>2025-12-09T10:00:00+09:00</dc:date><rg:revday>Tue, 09 Dec 2025 03:04:05 GMT</rg:revday>
<source url="http://127.0.0.1/feed.rdf">テスト通信</source><rg:site>http://127.0.0.1/site/</rg:site><rg:keep u="http://127.0.0.1/feed.rdf" k="0123456789abcdef" kept="1"/></item>
<item><title>ガソリン</title><link>http://127.0.0.1/g2</link><source url="http://127.0.0.1:4565/scrap.xml?u=保存した記事.keys">保存した記事</source><rg:keep u="http://127.0.0.1:4565/scrap.xml?u=保存した記事.keys" k="fedcba9876543210" kept="0"/></item>
</channel></rss>)";
}

inline std::string Catalogue() {
  return R"(<items><item title="はじめて" file="sample.opml" goround="6"/><item title="ニュース" file="ニュース.opml" goround="0"/></items>)";
}

}  // namespace norvane::test
