<?xml version="1.0" encoding="Shift_JIS"?>
<!-- The frame of the group's channel page and of the filter page. The text of chbody
     (the place of the channel blocks) is copied unchanged, and the output holds no other
     percent sign: the frame is used as a format text. That is why this page is written
     with the XML method: the HTML method would percent-escape a Japanese group name in
     the links. Every element written here is either void or has content. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="Shift_JIS" omit-xml-declaration="yes" doctype-system="about:legacy-compat" indent="no"/>

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

  <xsl:template match="/">
    <xsl:apply-templates select="chbody"/>
  </xsl:template>

  <xsl:template match="chbody">
    <xsl:variable name="file" select="string(@file)"/>
    <!-- The filter page's keyword, shown and kept in its box. -->
    <xsl:variable name="word" select="normalize-space(@w)"/>
    <!-- The group's title as the catalogue lists it, when it does. -->
    <xsl:variable name="catalogued" select="string(document('../../opmls/gp.xml')/group/items/item[@file = $file][1]/@title)"/>
    <xsl:variable name="name">
      <xsl:choose>
        <xsl:when test="$file != '' and $catalogued != ''"><xsl:value-of select="$catalogued"/></xsl:when>
        <xsl:when test="substring($file, string-length($file) - 4) = '.opml'"><xsl:value-of select="substring($file, 1, string-length($file) - 5)"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="$file"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <html lang="ja">
      <xsl:call-template name="head">
        <xsl:with-param name="title">
          <xsl:choose>
            <xsl:when test="$file = '' and $word != ''">キーワードフィルタ「<xsl:value-of select="$word"/>」</xsl:when>
            <xsl:when test="$file = ''">キーワードフィルタ</xsl:when>
            <xsl:otherwise><xsl:value-of select="$name"/></xsl:otherwise>
          </xsl:choose>
        </xsl:with-param>
      </xsl:call-template>
      <body>
        <xsl:attribute name="class">page <xsl:choose><xsl:when test="$file = ''">page-filter</xsl:when><xsl:otherwise>page-channels</xsl:otherwise></xsl:choose></xsl:attribute>
        <xsl:call-template name="topbar">
          <xsl:with-param name="here"><xsl:if test="$file = ''">filter</xsl:if></xsl:with-param>
        </xsl:call-template>
        <main id="main" class="wrap">
          <xsl:choose>
            <xsl:when test="$file = ''">
              <header class="page-head">
                <p class="kicker">キーワードフィルタ</p>
                <h1>
                  <xsl:choose>
                    <xsl:when test="$word != ''">「<span class="keyword"><xsl:value-of select="$word"/></span>」を含む記事</xsl:when>
                    <xsl:otherwise>今日の記事から探す</xsl:otherwise>
                  </xsl:choose>
                </h1>
                <p class="lead">すべてのグループの新着と今日の記事から、キーワードを含むものだけを集めます。</p>
                <form class="inline-form" action="filter" method="get" role="search" aria-label="キーワードフィルタ">
                  <input type="hidden" name="_charset_"/>
                  <label for="filter-w">キーワード</label>
                  <input id="filter-w" type="search" name="w" required="required" placeholder="例: Linux OR カーネル">
                    <xsl:if test="$word != ''"><xsl:attribute name="value"><xsl:value-of select="$word"/></xsl:attribute></xsl:if>
                  </input>
                  <button class="btn btn-primary" type="submit">絞り込む</button>
                </form>
                <p class="hint">空白で区切った言葉はすべて含むもの、「OR」で区切ると、どれかを含むものが見つかります。</p>
              </header>
            </xsl:when>
            <xsl:otherwise>
              <header class="page-head">
                <p class="kicker">グループをまとめて読む</p>
                <h1><xsl:value-of select="$name"/></h1>
                <nav class="views" aria-label="表示の切り替え">
                  <a class="btn" href="ch.html?u={$file}/&amp;r=on">すべて</a>
                  <a class="btn" href="ch.html?u={$file}/&amp;r=on&amp;sel=today">今日</a>
                  <a class="btn" href="ch.html?u={$file}/&amp;r=on&amp;sel=new">新着</a>
                  <a class="btn" href="ch.html?u={$file}/&amp;r=on&amp;d=off">タイトルだけ</a>
                  <a class="btn" href="ch.html?u={$file}/">取得せずに読む</a>
                  <a class="btn btn-quiet" href="gp.html?u={$file}/">グループのページ</a>
                </nav>
              </header>
            </xsl:otherwise>
          </xsl:choose>
          <!-- The one form every keep button of the blocks sends; before the blocks, whose
               place is the last "%s" of the page. -->
          <xsl:if test="@token">
            <form id="keep" class="keep-form" method="post" action="keep">
              <input type="hidden" name="_charset_"/>
              <input type="hidden" name="token" value="{@token}"/>
              <xsl:if test="$file != ''"><input type="hidden" name="back" value="ch.html?u={$file}/"/></xsl:if>
            </form>
          </xsl:if>
          <div class="channels"><xsl:value-of select="."/></div>
          <p class="empty empty-all">表示する記事はありません。</p>
        </main>
        <xsl:call-template name="footer"/>
      </body>
    </html>
  </xsl:template>
</xsl:stylesheet>
