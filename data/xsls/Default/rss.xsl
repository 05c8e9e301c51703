<?xml version="1.0" encoding="Shift_JIS"?>
<!-- One feed: a channel log with its marks, a search answer, or the error feed. -->
<xsl:stylesheet version="1.0"
    xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"
    xmlns:dc="http://purl.org/dc/elements/1.1/"
    xmlns:content="http://purl.org/rss/1.0/modules/content/"
    xmlns:atom="http://www.w3.org/2005/Atom"
    xmlns:rg="http://norvane/rg"
    xmlns:r1="http://purl.org/rss/1.0/"
    xmlns:r09="http://my.netscape.com/rdf/simple/0.9/"
    exclude-result-prefixes="rdf dc content atom rg r1 r09"
    extension-element-prefixes="rg">
  <xsl:output method="html" encoding="Shift_JIS" doctype-system="about:legacy-compat" indent="no"/>

  <!-- The page head and the bar every page starts with. -->
  <xsl:template name="head">
    <xsl:param name="title"/>
    <head>
      <meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"/>
      <meta name="viewport" content="width=device-width, initial-scale=1"/>
      <meta name="color-scheme" content="light dark"/>
      <meta name="referrer" content="no-referrer"/>
      <title><xsl:if test="string($title) != ''"><xsl:value-of select="$title"/> - </xsl:if>Norvane</title>
      <link rel="stylesheet" href="/norvane.css"/>
      <link rel="icon" href="/norvane.svg" type="image/svg+xml"/>
      <!-- A page a phone can install: the app's manifest, its icon and the bar's colours. -->
      <link rel="manifest" href="/manifest.webmanifest"/>
      <link rel="apple-touch-icon" href="/icon-192.png"/>
      <meta name="theme-color" content="#ffffff" media="(prefers-color-scheme: light)"/>
      <meta name="theme-color" content="#161a21" media="(prefers-color-scheme: dark)"/>
      <script src="/norvane.js" defer="defer"><xsl:text> </xsl:text></script>
    </head>
  </xsl:template>

  <xsl:template name="topbar">
    <xsl:param name="here"/>
    <a class="skip" href="#main">本文へ移動</a>
    <header class="topbar">
      <div class="topbar-in">
        <a class="brand" href="/"><span class="brand-mark" aria-hidden="true">N</span><span class="brand-name">Norvane</span></a>
        <nav class="topnav" aria-label="メニュー">
          <a href="/"><xsl:if test="$here='home'"><xsl:attribute name="aria-current">page</xsl:attribute></xsl:if>ホーム</a>
          <a href="gp.html"><xsl:if test="$here='group'"><xsl:attribute name="aria-current">page</xsl:attribute></xsl:if>グループ</a>
          <a href="add.html"><xsl:if test="$here='add'"><xsl:attribute name="aria-current">page</xsl:attribute></xsl:if>フィードを追加</a>
          <a href="/#filter"><xsl:if test="$here='filter'"><xsl:attribute name="aria-current">page</xsl:attribute></xsl:if>フィルタ</a>
          <a href="/#search">検索</a>
        </nav>
        <form class="topsearch" action="find.html" method="get" role="search" aria-label="保存した記事から探す">
          <input type="hidden" name="_charset_"/>
          <label class="vh" for="topsearch-w">保存した記事から探す</label>
          <input id="topsearch-w" type="search" name="w" placeholder="記事を探す"/>
          <button class="btn" type="submit">探す</button>
        </form>
      </div>
    </header>
  </xsl:template>

  <xsl:template name="footer">
    <footer class="foot"><p><span>Norvane 0.9</span><a href="/#help">使い方</a><a href="/#marks">記事のしるし</a></p></footer>
  </xsl:template>
  <!-- Compact style: descriptions as plain text, two lines at most. -->
  <xsl:variable name="compact" select="false()"/>

  <!-- RSS 1.0 keeps channel and items under rdf:RDF, RSS 2.0 and 0.9x under rss/channel.
       Name tests, not predicates: a channel holds every item of its log. -->
  <xsl:variable name="channel" select="/rdf:RDF/r1:channel | /rdf:RDF/r09:channel | /rdf:RDF/channel | /rss/channel"/>
  <xsl:variable name="items" select="/rdf:RDF/r1:item | /rdf:RDF/r09:item | /rdf:RDF/item | /rss/channel/item"/>
  <xsl:variable name="chTitle" select="normalize-space($channel/title | $channel/r1:title | $channel/r09:title)"/>
  <xsl:variable name="chLink" select="normalize-space($channel/link | $channel/r1:link | $channel/r09:link)"/>
  <xsl:variable name="chDesc" select="normalize-space($channel/description | $channel/r1:description | $channel/r09:description)"/>
  <!-- A search over every stored item (find.html) carries its query and counts here. -->
  <xsl:variable name="find" select="/rss/channel/rg:find"/>
  <!-- Only a channel log carries the feed URL; search answers and raw feeds do not. -->
  <xsl:variable name="feedUrl" select="normalize-space($channel/rg:link)"/>
  <xsl:variable name="selfUrl" select="normalize-space(($channel/@rdf:about[contains(., '://')] | $channel/atom:link[@rel='self']/@href)[1])"/>
  <!-- The error feed: fixed title, empty link, no items, no marks. -->
  <xsl:variable name="isError" select="$chTitle = 'エラーメッセージ' and $chLink = '' and not($items) and not($channel/rg:link)"/>
  <xsl:variable name="errorText" select="string($channel/description | $channel/r1:description | $channel/r09:description)"/>
  <!-- Items by their mark, counted once per page. -->
  <xsl:key name="marks" match="rg:log" use="@type"/>
  <xsl:variable name="nNew" select="count(key('marks', 'new'))"/>
  <xsl:variable name="nToday" select="count(key('marks', 'today'))"/>
  <xsl:variable name="nLog" select="count(key('marks', 'log'))"/>

  <!-- Only web addresses and plain relative ones become links. -->
  <xsl:template name="linkable">
    <xsl:param name="url"/>
    <xsl:variable name="l" select="translate(substring($url, 1, 8), 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>
    <xsl:if test="$url != '' and (starts-with($l, 'http://') or starts-with($l, 'https://') or not(contains(substring-before(concat($url, '/'), '/'), ':')))">yes</xsl:if>
  </xsl:template>

  <xsl:template name="counts">
    <span class="counts">
      <xsl:if test="$nNew &gt; 0"><span class="count count-new">新着 <xsl:value-of select="$nNew"/></span></xsl:if>
      <xsl:if test="$nToday &gt; 0"><span class="count count-today">今日 <xsl:value-of select="$nToday"/></span></xsl:if>
      <xsl:if test="$nLog &gt; 0"><span class="count count-log">過去 <xsl:value-of select="$nLog"/></span></xsl:if>
    </span>
  </xsl:template>

  <xsl:template name="mark">
    <xsl:param name="type"/>
    <xsl:choose>
      <xsl:when test="$type = 'new'"><span class="mark mark-new" title="前回の取得で初めて現れた記事">新着</span></xsl:when>
      <xsl:when test="$type = 'today'"><span class="mark mark-today" title="フィードに今も載っている記事">今日</span></xsl:when>
      <xsl:when test="$type = 'log'"><span class="mark mark-log" title="フィードから外れ、ログに残っている記事">過去</span></xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- One item of either flavour. -->
  <xsl:template match="*" mode="item">
    <!-- The item's markup is kept for the same item (rg:memo): nothing here may read
         more than the item and the style's own constants. Its mark and keep change while
         the rest stays: a change of theirs replaces what was kept (except). -->
    <rg:memo except="log keep">
    <xsl:variable name="type" select="string(rg:log/@type)"/>
    <!-- The item's own elements: RSS 2.0 has no namespace, RSS 1.0 and 0.90 have theirs.
         Names, not predicates: this runs for every item of every page. -->
    <xsl:variable name="title" select="normalize-space(title | r1:title | r09:title)"/>
    <xsl:variable name="link" select="normalize-space(link | r1:link | r09:link)"/>
    <!-- The full text when the item has one, else its description. -->
    <xsl:variable name="body" select="string((content:encoded[normalize-space()] | (description | r1:description | r09:description)[not(../content:encoded[normalize-space()])])[1])"/>
    <xsl:variable name="published" select="normalize-space((dc:date | pubDate)[1])"/>
    <xsl:variable name="author" select="normalize-space((dc:creator | author)[1])"/>
    <xsl:variable name="l8" select="translate(substring($link, 1, 8), 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>
    <!-- As the linkable template decides, without its result tree per item. -->
    <xsl:variable name="canLink" select="$link != '' and (starts-with($l8, 'http://') or starts-with($l8, 'https://') or not(contains(substring-before(concat($link, '/'), '/'), ':')))"/>
    <li class="item{substring(concat(' item-', $type), 1, 99 * ($type != ''))}">
      <div class="item-head">
        <xsl:choose>
          <xsl:when test="$type = 'new'"><span class="mark mark-new" title="前回の取得で初めて現れた記事">新着</span></xsl:when>
          <xsl:when test="$type = 'today'"><span class="mark mark-today" title="フィードに今も載っている記事">今日</span></xsl:when>
          <xsl:when test="$type = 'log'"><span class="mark mark-log" title="フィードから外れ、ログに残っている記事">過去</span></xsl:when>
        </xsl:choose>
        <h2 class="item-title">
          <xsl:choose>
            <xsl:when test="$canLink"><a href="{$link}"><xsl:choose><xsl:when test="$title != ''"><xsl:value-of select="$title"/></xsl:when><xsl:otherwise><xsl:call-template name="untitled"><xsl:with-param name="body" select="$body"/></xsl:call-template></xsl:otherwise></xsl:choose></a></xsl:when>
            <xsl:when test="$title != ''"><xsl:value-of select="$title"/></xsl:when>
            <xsl:otherwise><xsl:call-template name="untitled"><xsl:with-param name="body" select="$body"/></xsl:call-template></xsl:otherwise>
          </xsl:choose>
        </h2>
        <xsl:if test="rg:keep">
          <!-- The page's one keep form takes the item's digest and feed from its button. -->
          <button class="keep" type="submit" form="keep" value="{rg:keep/@k} {rg:keep/@u}" aria-pressed="{rg:keep/@kept = '1'}" aria-label="保存">
            <xsl:attribute name="name"><xsl:choose><xsl:when test="rg:keep/@kept = '1'">drop</xsl:when><xsl:otherwise>keep</xsl:otherwise></xsl:choose></xsl:attribute>
            <xsl:choose><xsl:when test="rg:keep/@kept = '1'">★</xsl:when><xsl:otherwise>☆</xsl:otherwise></xsl:choose>
          </button>
        </xsl:if>
      </div>
      <xsl:if test="$published != '' or rg:revday or $author != '' or source">
        <p class="item-meta">
          <xsl:if test="$published != ''"><span class="published"><xsl:call-template name="date"><xsl:with-param name="d" select="$published"/></xsl:call-template></span></xsl:if>
          <xsl:if test="rg:revday"><span class="firstseen">初出 <xsl:call-template name="date"><xsl:with-param name="d" select="rg:revday"/></xsl:call-template></span></xsl:if>
          <xsl:if test="$author != ''"><span class="author"><xsl:value-of select="$author"/></span></xsl:if>
          <!-- The feed an item was stored from (search results, scrapbooks). -->
          <xsl:if test="source">
            <span class="source"><a href="rss.html?u={source/@url}/"><xsl:value-of select="source"/><xsl:if test="normalize-space(source) = ''"><xsl:value-of select="source/@url"/></xsl:if></a><xsl:if test="starts-with(rg:site, 'http://') or starts-with(rg:site, 'https://')"> <a class="site" href="{rg:site}">サイト</a></xsl:if></span>
          </xsl:if>
        </p>
      </xsl:if>
      <xsl:if test="normalize-space($body) != ''">
        <xsl:choose>
          <xsl:when test="$compact">
            <p class="desc desc-text"><xsl:value-of select="rg:html-text($body)"/></p>
          </xsl:when>
          <xsl:otherwise>
            <!-- A table cell ends whatever the publisher left open (bold, links, lists),
                 so nothing of one description spills into the next item. -->
            <table class="desc-box" role="presentation"><tr><td class="desc">
              <xsl:value-of select="rg:safe-markup($body)" disable-output-escaping="yes"/>
            </td></tr></table>
          </xsl:otherwise>
        </xsl:choose>
      </xsl:if>
      <xsl:apply-templates select="enclosure[@url]" mode="enclosure"/>
    </li>
    </rg:memo>
  </xsl:template>

  <!-- An item without a title (as microblogs send them) is named by the start of its text. -->
  <xsl:template name="untitled">
    <xsl:param name="body"/>
    <xsl:variable name="t" select="normalize-space(rg:html-text($body))"/>
    <xsl:choose>
      <xsl:when test="$t = ''">(無題)</xsl:when>
      <xsl:when test="string-length($t) &gt; 80"><xsl:value-of select="concat(substring($t, 1, 80), '…')"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$t"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A podcast's or video feed's file: a player in Default, always a link with its type
       and size. Only web addresses are offered. -->
  <xsl:template match="enclosure" mode="enclosure">
    <xsl:variable name="u" select="normalize-space(@url)"/>
    <xsl:variable name="ty" select="translate(normalize-space(@type), 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>
    <xsl:variable name="l8" select="translate(substring($u, 1, 8), 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>
    <xsl:variable name="size" select="number(@length)"/>
    <xsl:if test="starts-with($l8, 'http://') or starts-with($l8, 'https://')">
      <div class="enclosure">
        <xsl:choose>
          <xsl:when test="$compact"/>
          <xsl:when test="starts-with($ty, 'audio/')"><audio class="enclosure-player" controls="controls" preload="none" src="{$u}"><xsl:text> </xsl:text></audio></xsl:when>
          <xsl:when test="starts-with($ty, 'video/')"><video class="enclosure-player" controls="controls" preload="none" src="{$u}"><xsl:text> </xsl:text></video></xsl:when>
        </xsl:choose>
        <a class="enclosure-link" href="{$u}" rel="noopener noreferrer nofollow">添付ファイル<xsl:if test="$ty != '' or $size &gt; 0"> (<xsl:value-of select="$ty"/><xsl:if test="$ty != '' and $size &gt; 0">, </xsl:if><xsl:choose>
            <xsl:when test="not($size &gt; 0)"/>
            <xsl:when test="$size &gt;= 1048576"><xsl:value-of select="format-number($size div 1048576, '0.0')"/> MB</xsl:when>
            <xsl:when test="$size &gt;= 1024"><xsl:value-of select="format-number($size div 1024, '0')"/> KB</xsl:when>
            <xsl:otherwise><xsl:value-of select="$size"/> バイト</xsl:otherwise>
          </xsl:choose>)</xsl:if></a>
      </div>
    </xsl:if>
  </xsl:template>

  <!-- Dates: ISO 8601 (dc:date) and RFC 822 (pubDate, the program's own date texts) get a
       machine-readable datetime; anything else is shown as it came. -->
  <xsl:template name="date">
    <xsl:param name="d"/>
    <xsl:variable name="v" select="normalize-space($d)"/>
    <xsl:variable name="iso" select="rg:iso-date($v)"/>
    <xsl:choose>
      <xsl:when test="string-length($iso) &gt;= 16">
        <time datetime="{$iso}" title="{$v}">
          <xsl:value-of select="concat(substring($iso, 1, 10), ' ', substring($iso, 12, 5))"/>
          <xsl:choose>
            <xsl:when test="substring($iso, string-length($iso)) = 'Z'"> UTC</xsl:when>
            <xsl:when test="substring($iso, string-length($iso) - 5) = '+09:00'"/>
            <xsl:when test="substring($iso, string-length($iso) - 5, 1) = '+' or substring($iso, string-length($iso) - 5, 1) = '-'"><xsl:value-of select="concat(' ', substring($iso, string-length($iso) - 5))"/></xsl:when>
          </xsl:choose>
        </time>
      </xsl:when>
      <xsl:when test="string-length($iso) = 10"><time datetime="{$iso}"><xsl:value-of select="$iso"/></time></xsl:when>
      <xsl:otherwise><xsl:value-of select="$v"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The publisher's HTML is made safe by rg:safe-html (and reduced to its text by
       rg:html-text), the gateway's own functions: harmless elements and attributes only. -->

  <!-- The site's icon as the gateway keeps it (rg:icon holds the gateway's own address, so
       the browser never asks the site), else a letter badge (the letter drawn by the style
       sheet, so the heading's text stays the title). Decorative either way: the title
       beside it names the feed. -->
  <xsl:template name="feed-icon">
    <xsl:variable name="icon" select="normalize-space($channel/rg:icon)"/>
    <xsl:choose>
      <xsl:when test="starts-with($icon, 'icon?u=')"><img class="feed-icon" src="{$icon}" alt="" width="16" height="16"/></xsl:when>
      <xsl:when test="$chTitle != ''"><span class="feed-badge" aria-hidden="true" data-letter="{translate(substring($chTitle, 1, 1), 'abcdefghijklmnopqrstuvwxyz', 'ABCDEFGHIJKLMNOPQRSTUVWXYZ')}"></span></xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="/">
    <xsl:variable name="pageTitle">
      <xsl:choose>
        <xsl:when test="$isError">エラーメッセージ</xsl:when>
        <xsl:when test="$chTitle != ''"><xsl:value-of select="$chTitle"/></xsl:when>
        <xsl:otherwise>フィード</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <html lang="ja">
      <xsl:call-template name="head"><xsl:with-param name="title" select="$pageTitle"/></xsl:call-template>
      <body class="page page-feed">
        <xsl:call-template name="topbar"/>
        <main id="main" class="wrap">
          <xsl:choose>
            <xsl:when test="$isError"><xsl:call-template name="error-page"/></xsl:when>
            <xsl:when test="$find"><xsl:call-template name="find-page"/></xsl:when>
            <xsl:when test="not($channel)">
              <div class="notice notice-error" role="alert">
                <h1>フィードとして読めませんでした</h1>
                <p>RSS 1.0 または RSS 2.0 の文書ではありません。</p>
              </div>
            </xsl:when>
            <xsl:otherwise><xsl:call-template name="feed-page"/></xsl:otherwise>
          </xsl:choose>
        </main>
        <xsl:call-template name="footer"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="error-page">
    <section class="error-box" role="alert">
      <p class="kicker">フィードを表示できません</p>
      <h1>エラーメッセージ</h1>
      <pre class="error-text"><xsl:value-of select="$errorText"/></pre>
      <p class="error-hint">URL が正しいか、サイトが応答しているかを確かめて、しばらくしてからもう一度お試しください。</p>
      <p class="actions"><a class="btn" href="gp.html">グループへ戻る</a> <a class="btn" href="/">ホーム</a></p>
    </section>
  </xsl:template>

  <xsl:template name="feed-page">
    <xsl:variable name="canSite"><xsl:call-template name="linkable"><xsl:with-param name="url" select="$chLink"/></xsl:call-template></xsl:variable>
    <header class="page-head">
      <p class="kicker">
        <xsl:choose>
          <xsl:when test="$feedUrl != ''">フィード</xsl:when>
          <xsl:otherwise>検索結果・未登録のフィード</xsl:otherwise>
        </xsl:choose>
      </p>
      <h1 class="feed-name">
        <xsl:call-template name="feed-icon"/>
        <xsl:choose>
          <xsl:when test="$canSite = 'yes'"><a href="{$chLink}"><xsl:value-of select="$chTitle"/></a></xsl:when>
          <xsl:otherwise><xsl:value-of select="$chTitle"/></xsl:otherwise>
        </xsl:choose>
        <xsl:if test="$chTitle = ''">(無題のフィード)</xsl:if>
      </h1>
      <xsl:if test="$chDesc != ''"><p class="lead"><xsl:value-of select="$chDesc"/></p></xsl:if>
      <p class="meta">
        <span>記事 <xsl:value-of select="count($items)"/> 件</span>
        <xsl:call-template name="counts"/>
        <xsl:if test="$channel/rg:revday"><span class="fetched">最終取得 <xsl:call-template name="date"><xsl:with-param name="d" select="$channel/rg:revday"/></xsl:call-template></span></xsl:if>
        <xsl:if test="$canSite = 'yes'"><a class="site" href="{$chLink}">サイトを開く</a></xsl:if>
      </p>
      <xsl:if test="$channel/rg:health"><p class="notice notice-health" role="status"><a href="health.html">取得の問題</a>: <xsl:value-of select="$channel/rg:health"/></p></xsl:if>
      <xsl:choose>
        <xsl:when test="$feedUrl != ''">
          <nav class="views" aria-label="表示の切り替え">
            <a class="btn btn-primary" href="rss.html?u={$feedUrl}/&amp;r=on">いま取得する</a>
            <a class="btn" href="rss.html?u={$feedUrl}/">すべて</a>
            <a class="btn" href="rss.html?u={$feedUrl}/&amp;sel=today">今日</a>
            <a class="btn" href="rss.html?u={$feedUrl}/&amp;sel=new">新着</a>
            <a class="btn" href="rss.html?u={$feedUrl}/&amp;sel=log">過去ログ</a>
            <a class="btn" href="rss.html?u={$feedUrl}/&amp;d=off">タイトルだけ</a>
            <a class="btn" href="add.html?u={$feedUrl}/">グループに追加</a>
          </nav>
          <p class="feed-url"><span class="label">フィード</span> <xsl:value-of select="$feedUrl"/></p>
        </xsl:when>
        <xsl:otherwise>
          <nav class="views" aria-label="操作">
            <xsl:if test="$selfUrl != ''"><a class="btn btn-primary" href="add.html?u={$selfUrl}/">このフィードをグループに追加</a></xsl:if>
            <a class="btn" href="/#search">別の言葉で検索</a>
          </nav>
          <xsl:if test="$selfUrl != ''"><p class="feed-url"><span class="label">フィード</span> <xsl:value-of select="$selfUrl"/></p></xsl:if>
        </xsl:otherwise>
      </xsl:choose>
    </header>
    <xsl:call-template name="keep-book"/>
    <xsl:choose>
      <xsl:when test="$items">
        <ol class="items">
          <xsl:apply-templates select="$items" mode="item"></xsl:apply-templates>
        </ol>
      </xsl:when>
      <xsl:otherwise><p class="empty">表示する記事はありません。</p></xsl:otherwise>
    </xsl:choose>
    <xsl:if test="$feedUrl != ''">
      <xsl:call-template name="keep-form"><xsl:with-param name="back" select="concat('rss.html?u=', $feedUrl, '/')"/></xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- The one form every keep button of a page sends (with its own name and value): the
       token, and the page a browser without script comes back to. -->
  <xsl:template name="keep-form">
    <xsl:param name="back"/>
    <xsl:if test="/*/rg:token and $items/rg:keep">
      <form id="keep" class="keep-form" method="post" action="keep">
        <input type="hidden" name="_charset_"/>
        <input type="hidden" name="token" value="{/*/rg:token}"/>
        <input type="hidden" name="back" value="{$back}"/>
      </form>
    </xsl:if>
  </xsl:template>

  <!-- Where a star keeps an item, when there is more than the kept book to choose from;
       the select belongs to the keep form, which stays hidden. -->
  <xsl:template name="keep-book">
    <xsl:if test="/*/rg:token and $items/rg:keep and /*/rg:books/rg:book[2]">
      <p class="keep-to">
        <label for="keep-book">☆の保存先</label>
        <xsl:text> </xsl:text>
        <select id="keep-book" name="b" form="keep">
          <xsl:for-each select="/*/rg:books/rg:book"><option value="{.}"><xsl:value-of select="."/></option></xsl:for-each>
        </select>
        <xsl:text> </xsl:text>
        <span class="keep-status" role="status" data-kept="保存しました。" data-already="もう保存してあります。" data-dropped="保存をやめました。" data-not-kept="保存されていません。" data-failed="保存できませんでした。"></span>
      </p>
    </xsl:if>
  </xsl:template>

  <!-- The search over every stored item: its form, where the index stands, one page of
       results (newest first) and the way to the others. -->
  <xsl:template name="find-page">
    <xsl:variable name="outcome" select="string($find/@outcome)"/>
    <xsl:variable name="index" select="$find/rg:index"/>
    <header class="page-head">
      <p class="kicker">記事の検索</p>
      <h1 class="feed-name" id="find-title"><xsl:value-of select="$chTitle"/></h1>
      <form class="find-form" action="find.html" method="get" role="search" aria-labelledby="find-title">
        <input type="hidden" name="_charset_"/>
        <input type="hidden" name="ue" value="on"/>
        <div class="field field-words">
          <label for="find-w">探す言葉</label>
          <input id="find-w" type="search" name="w" value="{$find/rg:query}"/>
        </div>
        <div class="field">
          <label for="find-u">探す範囲</label>
          <select id="find-u" name="u">
            <option value="">すべてのフィードとスクラップブック</option>
            <xsl:for-each select="$find/items/item[@file]">
              <option value="{@file}"><xsl:if test="@file = string($find/rg:group)"><xsl:attribute name="selected">selected</xsl:attribute></xsl:if><xsl:value-of select="@title"/></option>
            </xsl:for-each>
          </select>
        </div>
        <button class="btn btn-primary" type="submit">探す</button>
      </form>
      <p class="hint">フィードのログとスクラップブックに残るすべての記事から、タイトルか本文に言葉を含むものを新しい順に探します。空白で区切るとすべてを含むもの、「OR」で区切るとどれかを含むもの。全角と半角、ひらがなとカタカナ、濁点や小さな仮名の違いは気にしなくてかまいません。dic.csv の同義語でも探します。</p>
    </header>
    <xsl:choose>
      <xsl:when test="$index/@state = 'building'">
        <div class="notice" role="status"><p>索引を作っています（<xsl:value-of select="$index/@done"/> / <xsl:value-of select="$index/@total"/> のフィード）。作り終えるまで、見つかるのは一部の記事だけです。</p></div>
      </xsl:when>
      <xsl:when test="$index/@scanned = '1' and $outcome = 'found'">
        <div class="notice" role="status"><p>
          <xsl:choose>
            <xsl:when test="$index/@state = 'unavailable'">索引を書き込めないため（フォルダに書き込めない、ディスクがいっぱい、など）、</xsl:when>
            <xsl:otherwise>索引を開いているところなので、</xsl:otherwise>
          </xsl:choose>ログとスクラップブックを直接読んで探しました。時間がかかります。</p></div>
      </xsl:when>
    </xsl:choose>
    <xsl:choose>
      <xsl:when test="$outcome = 'refused'">
        <div class="notice notice-error" role="alert"><h2>この言葉では探せません</h2><p><xsl:value-of select="$find/rg:error"/></p></div>
      </xsl:when>
      <xsl:when test="$outcome = 'too-long'">
        <div class="notice notice-error" role="alert"><h2>言葉が長すぎます</h2><p>探す言葉は <xsl:value-of select="$find/@max"/> 文字までです。</p></div>
      </xsl:when>
      <xsl:when test="$outcome = 'found'">
        <p class="meta find-meta">
          <span><xsl:value-of select="$find/@total"/> 件<xsl:if test="$find/@total &gt; 0">のうち <xsl:value-of select="$find/@first"/>～<xsl:value-of select="$find/@last"/> 件目</xsl:if></span>
          <a href="{$find/rg:feed}">この検索のフィード</a>
          <a href="{$find/rg:subscribe}">フィードとしてグループに追加</a>
        </p>
        <xsl:choose>
          <xsl:when test="$items">
            <xsl:call-template name="keep-book"/>
            <ol class="items">
              <xsl:apply-templates select="$items" mode="item"></xsl:apply-templates>
            </ol>
          </xsl:when>
          <xsl:otherwise><p class="empty">見つかりませんでした。</p></xsl:otherwise>
        </xsl:choose>
        <xsl:if test="$find/rg:prev or $find/rg:next">
          <nav class="views pager" aria-label="検索結果のページ">
            <xsl:if test="$find/rg:prev"><a class="btn" rel="prev" href="{$find/rg:prev}">前の 50 件</a></xsl:if>
            <span class="pager-at"><xsl:value-of select="$find/@page"/> / <xsl:value-of select="$find/@pages"/> ページ</span>
            <xsl:if test="$find/rg:next"><a class="btn" rel="next" href="{$find/rg:next}">次の 50 件</a></xsl:if>
          </nav>
        </xsl:if>
        <xsl:call-template name="keep-form"><xsl:with-param name="back" select="string($find/rg:self)"/></xsl:call-template>
      </xsl:when>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
