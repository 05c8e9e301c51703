<?xml version="1.0" encoding="Shift_JIS"?>
<!-- One channel block of the group page: the page frame (ch.xsl) holds the blocks. -->
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
  <xsl:output method="html" encoding="Shift_JIS" indent="no"/>

  <!-- Compact style: descriptions as plain text, two lines at most. -->
  <xsl:variable name="compact" select="false()"/>

  <!-- RSS 1.0 keeps channel and items under rdf:RDF, RSS 2.0 and 0.9x under rss/channel.
       Name tests, not predicates: a channel holds every item of its log. -->
  <xsl:variable name="channel" select="/rdf:RDF/r1:channel | /rdf:RDF/r09:channel | /rdf:RDF/channel | /rss/channel"/>
  <xsl:variable name="items" select="/rdf:RDF/r1:item | /rdf:RDF/r09:item | /rdf:RDF/item | /rss/channel/item"/>
  <xsl:variable name="chTitle" select="normalize-space($channel/title | $channel/r1:title | $channel/r09:title)"/>
  <xsl:variable name="chLink" select="normalize-space($channel/link | $channel/r1:link | $channel/r09:link)"/>
  <xsl:variable name="chDesc" select="normalize-space($channel/description | $channel/r1:description | $channel/r09:description)"/>
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
        <h3 class="item-title">
          <xsl:choose>
            <xsl:when test="$canLink"><a href="{$link}"><xsl:choose><xsl:when test="$title != ''"><xsl:value-of select="$title"/></xsl:when><xsl:otherwise><xsl:call-template name="untitled"><xsl:with-param name="body" select="$body"/></xsl:call-template></xsl:otherwise></xsl:choose></a></xsl:when>
            <xsl:when test="$title != ''"><xsl:value-of select="$title"/></xsl:when>
            <xsl:otherwise><xsl:call-template name="untitled"><xsl:with-param name="body" select="$body"/></xsl:call-template></xsl:otherwise>
          </xsl:choose>
        </h3>
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
    <xsl:choose>
      <xsl:when test="$isError">
        <section class="channel channel-error" role="alert">
          <header class="ch-head">
            <h2 class="ch-title">エラーメッセージ</h2>
            <p class="ch-meta">このフィードは取得できませんでした。</p>
          </header>
          <pre class="error-text"><xsl:value-of select="$errorText"/></pre>
        </section>
      </xsl:when>
      <xsl:when test="$channel">
        <xsl:variable name="canSite"><xsl:call-template name="linkable"><xsl:with-param name="url" select="$chLink"/></xsl:call-template></xsl:variable>
        <section>
          <xsl:attribute name="class">channel<xsl:if test="not($items)"> channel-empty</xsl:if><xsl:if test="$nNew &gt; 0"> channel-fresh</xsl:if></xsl:attribute>
          <header class="ch-head">
            <h2 class="ch-title">
              <xsl:call-template name="feed-icon"/>
              <xsl:choose>
                <xsl:when test="$canSite = 'yes'"><a href="{$chLink}"><xsl:value-of select="$chTitle"/></a></xsl:when>
                <xsl:otherwise><xsl:value-of select="$chTitle"/></xsl:otherwise>
              </xsl:choose>
              <xsl:if test="$chTitle = ''">(無題のフィード)</xsl:if>
            </h2>
            <p class="ch-meta">
              <span>記事 <xsl:value-of select="count($items)"/> 件</span>
              <xsl:call-template name="counts"/>
              <xsl:if test="$channel/rg:revday"><span class="fetched">取得 <xsl:call-template name="date"><xsl:with-param name="d" select="$channel/rg:revday"/></xsl:call-template></span></xsl:if>
              <xsl:if test="$feedUrl != ''"><a class="own" href="rss.html?u={$feedUrl}/">このフィードだけ見る</a></xsl:if>
            </p>
            <xsl:if test="$chDesc != ''"><p class="ch-desc"><xsl:value-of select="$chDesc"/></p></xsl:if>
            <xsl:if test="$channel/rg:health"><p class="notice notice-health" role="status"><a href="health.html">取得の問題</a>: <xsl:value-of select="$channel/rg:health"/></p></xsl:if>
          </header>
          <xsl:choose>
            <xsl:when test="$items">
              <ol class="items">
                <xsl:apply-templates select="$items" mode="item"></xsl:apply-templates>
              </ol>
            </xsl:when>
            <xsl:otherwise><p class="empty">表示する記事はありません。</p></xsl:otherwise>
          </xsl:choose>
        </section>
      </xsl:when>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
