<?xml version="1.0" encoding="Shift_JIS"?>
<!-- The group page: every group, and the feeds of the chosen one as its file lists them. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="Shift_JIS" doctype-system="about:legacy-compat" indent="no"/>

  <!-- The page head and the bar every page starts with. -->
  <xsl:template name="head">
    <xsl:param name="title"/>
    <head>
      <meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"/>
      <meta name="viewport" content="width=device-width, initial-scale=1"/>
      <meta name="color-scheme" content="light dark"/>
      <!-- Nothing leaves for other sites; the page's own upload form states its origin, as
           the gateway asks of anything that writes. -->
      <meta name="referrer" content="same-origin"/>
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

  <xsl:variable name="file" select="string(/group/selected/@file)"/>
  <xsl:variable name="groupTitle">
    <xsl:choose>
      <xsl:when test="normalize-space(/group/selected/@title) != ''"><xsl:value-of select="/group/selected/@title"/></xsl:when>
      <xsl:when test="normalize-space(/group/opml/head/title) != ''"><xsl:value-of select="normalize-space(/group/opml/head/title)"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$file"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <!-- An outline with child nodes is a folder; only the others are feeds. -->
  <xsl:variable name="feeds" select="/group/opml/body//outline[not(node())]"/>

  <xsl:template match="/">
    <html lang="ja">
      <xsl:call-template name="head"><xsl:with-param name="title" select="$groupTitle"/></xsl:call-template>
      <body class="page page-group">
        <xsl:call-template name="topbar"><xsl:with-param name="here" select="'group'"/></xsl:call-template>
        <main id="main" class="wrap with-side">
          <nav class="side" aria-label="グループ">
            <h2 class="side-title">グループ</h2>
            <ul class="group-list">
              <xsl:for-each select="/group/items/item">
                <li>
                  <a href="gp.html?u={@file}/">
                    <xsl:if test="@file = $file">
                      <xsl:attribute name="aria-current">page</xsl:attribute>
                      <xsl:attribute name="class">current</xsl:attribute>
                    </xsl:if>
                    <span class="g-title"><xsl:value-of select="@title"/><xsl:if test="normalize-space(@title) = ''"><xsl:value-of select="@file"/></xsl:if></span>
                    <span class="g-round">
                      <xsl:choose>
                        <xsl:when test="number(@goround) &gt; 0"><xsl:value-of select="number(@goround) * 10"/> 分ごとに巡回</xsl:when>
                        <xsl:otherwise>巡回しない</xsl:otherwise>
                      </xsl:choose>
                    </span>
                  </a>
                </li>
              </xsl:for-each>
            </ul>
            <xsl:if test="not(/group/items/item)"><p class="hint">グループはまだありません。</p></xsl:if>
          </nav>
          <div class="content">
            <header class="page-head">
              <p class="kicker">グループ</p>
              <h1><xsl:value-of select="$groupTitle"/></h1>
              <p class="meta"><span>フィード <xsl:value-of select="count($feeds)"/> 件</span> <span class="file"><xsl:value-of select="$file"/></span></p>
              <nav class="views" aria-label="グループを読む">
                <a class="btn btn-primary" href="ch.html?u={$file}/&amp;r=on">まとめて読む</a>
                <a class="btn" href="ch.html?u={$file}/&amp;r=on&amp;sel=today">今日の記事</a>
                <a class="btn" href="ch.html?u={$file}/&amp;r=on&amp;sel=new">新着だけ</a>
                <a class="btn" href="ch.html?u={$file}/&amp;r=on&amp;d=off">タイトルだけ</a>
                <a class="btn btn-quiet" href="opml.xml?u={$file}/">OPML</a>
                <a class="btn btn-quiet" href="#add-feed">フィードを追加</a>
                <a class="btn btn-quiet" href="health.html">フィードの状態</a>
              </nav>
            </header>
            <xsl:choose>
              <xsl:when test="/group/opml/body/outline">
                <ul class="feed-list">
                  <xsl:apply-templates select="/group/opml/body/outline"/>
                </ul>
              </xsl:when>
              <xsl:otherwise><p class="empty">このグループにはまだフィードがありません。下のフォームから追加できます。</p></xsl:otherwise>
            </xsl:choose>
            <section class="panel" id="add-feed">
              <h2>このグループにフィードを追加</h2>
              <form class="inline-form" action="add.html" method="get">
                <input type="hidden" name="_charset_"/>
                <input type="hidden" name="ue" value="on"/>
                <input type="hidden" name="opml" value="{$file}"/>
                <xsl:if test="/group/@token"><input type="hidden" name="token" value="{/group/@token}"/></xsl:if>
                <label for="add-u">フィードかサイトの URL</label>
                <input id="add-u" type="text" inputmode="url" autocapitalize="off" spellcheck="false" name="u" required="required" placeholder="https://example.jp/"/>
                <button class="btn btn-primary" type="submit">追加</button>
              </form>
            </section>
            <section class="panel" id="opml-io">
              <h2>ほかのリーダーとやりとり</h2>
              <form class="stack-form" action="import.html" method="post" enctype="multipart/form-data">
                <input type="hidden" name="_charset_"/>
                <xsl:if test="/group/@token"><input type="hidden" name="token" value="{/group/@token}"/></xsl:if>
                <div class="field">
                  <label for="import-file">OPML ファイルを読み込む</label>
                  <input id="import-file" type="file" name="opml" accept=".opml,.xml,text/x-opml,text/xml,application/xml" required="required"/>
                  <p class="hint">フォルダごとにグループになります。グループにすでにあるフィードは飛ばします。</p>
                </div>
                <p class="actions"><button class="btn btn-primary" type="submit">読み込む</button></p>
              </form>
              <p class="hint">すべてのグループとスクラップブックを OPML 2.0 のファイル 1 つに書き出します。ほかのフィードリーダーにそのまま読み込めます。</p>
              <p class="actions"><a class="btn" href="export.opml" download="norvane.opml">OPML に書き出す</a></p>
            </section>
          </div>
        </main>
        <xsl:call-template name="footer"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="outline[node()]">
    <li class="folder">
      <details open="open">
        <summary><span class="folder-name"><xsl:value-of select="@text"/><xsl:if test="normalize-space(@text) = ''">フォルダ</xsl:if></span> <span class="folder-count"><xsl:value-of select="count(.//outline[not(node())])"/> 件</span></summary>
        <ul class="feed-list">
          <xsl:apply-templates select="outline"/>
        </ul>
      </details>
    </li>
  </xsl:template>

  <xsl:template match="outline">
    <xsl:variable name="url" select="normalize-space(@xmlUrl)"/>
    <xsl:variable name="site" select="normalize-space(@htmlUrl)"/>
    <xsl:variable name="l" select="translate(substring($site, 1, 8), 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>
    <li class="feed">
      <h2 class="feed-title">
        <xsl:choose>
          <xsl:when test="$url != ''"><a href="rss.html?u={$url}/&amp;r=on"><xsl:value-of select="@text"/><xsl:if test="normalize-space(@text) = ''"><xsl:value-of select="$url"/></xsl:if></a></xsl:when>
          <xsl:otherwise><xsl:value-of select="@text"/></xsl:otherwise>
        </xsl:choose>
      </h2>
      <xsl:if test="normalize-space(@description) != ''"><p class="feed-desc"><xsl:value-of select="@description"/></p></xsl:if>
      <p class="feed-links">
        <xsl:if test="starts-with($l, 'http://') or starts-with($l, 'https://') or ($site != '' and not(contains(substring-before(concat($site, '/'), '/'), ':')))"><a class="site" href="{$site}">サイトを開く</a></xsl:if>
        <xsl:if test="$url != ''"><a class="own" href="rss.html?u={$url}/">取得せずに読む</a></xsl:if>
        <span class="feed-url"><xsl:value-of select="$url"/></span>
      </p>
    </li>
  </xsl:template>
</xsl:stylesheet>
