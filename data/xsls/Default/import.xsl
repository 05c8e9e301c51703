<?xml version="1.0" encoding="Shift_JIS"?>
<!-- The import page: an OPML file of another reader brought into the groups, and the
     report of what went where and what was skipped and why. -->
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
    <a class="skip" href="#main">本文へ移動</a>
    <header class="topbar">
      <div class="topbar-in">
        <a class="brand" href="/"><span class="brand-mark" aria-hidden="true">N</span><span class="brand-name">Norvane</span></a>
        <nav class="topnav" aria-label="メニュー">
          <a href="/">ホーム</a>
          <a href="gp.html">グループ</a>
          <a href="add.html">フィードを追加</a>
          <a href="/#filter">フィルタ</a>
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

  <xsl:variable name="posted" select="boolean(/import/result)"/>
  <xsl:variable name="done" select="normalize-space(/import/result/error) = '0'"/>
  <xsl:variable name="message" select="string(/import/result/message)"/>
  <xsl:variable name="report" select="/import/report"/>

  <xsl:template match="/">
    <html lang="ja">
      <xsl:call-template name="head">
        <xsl:with-param name="title">
          <xsl:choose>
            <xsl:when test="$done">読み込みました</xsl:when>
            <xsl:otherwise>OPML の読み込み</xsl:otherwise>
          </xsl:choose>
        </xsl:with-param>
      </xsl:call-template>
      <body class="page page-import">
        <xsl:call-template name="topbar"/>
        <main id="main" class="wrap narrow">
          <header class="page-head">
            <p class="kicker">OPML の読み込み</p>
            <h1>
              <xsl:choose>
                <xsl:when test="$done">読み込みました</xsl:when>
                <xsl:otherwise>ほかのリーダーからグループを読み込む</xsl:otherwise>
              </xsl:choose>
            </h1>
            <xsl:if test="/import/file/@name != ''"><p class="meta"><span class="file"><xsl:value-of select="/import/file/@name"/></span></p></xsl:if>
          </header>
          <xsl:choose>
            <xsl:when test="$posted and not($done)">
              <div class="notice notice-error" role="alert">
                <h2>読み込めませんでした</h2>
                <p class="message"><xsl:value-of select="$message"/></p>
              </div>
            </xsl:when>
            <xsl:when test="$done"><xsl:call-template name="report"/></xsl:when>
          </xsl:choose>
          <xsl:call-template name="form"/>
        </main>
        <xsl:call-template name="footer"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="report">
    <section class="result result-ok" role="status" aria-labelledby="import-summary">
      <h2 id="import-summary" class="result-text">フィード <strong><xsl:value-of select="$report/added/@count"/> 件</strong>を追加し、<strong><xsl:value-of select="$report/skipped/@count"/> 件</strong>を飛ばしました。</h2>
      <xsl:if test="normalize-space($message) != ''"><p class="message"><xsl:value-of select="$message"/></p></xsl:if>
      <xsl:if test="$report/group">
        <ul class="import-groups">
          <xsl:for-each select="$report/group">
            <li>
              <a href="gp.html?u={@file}/"><xsl:value-of select="@title"/><xsl:if test="normalize-space(@title) = ''"><xsl:value-of select="@file"/></xsl:if></a>
              <span class="g-round"><xsl:if test="@made = 'on'">新しいグループ・</xsl:if><xsl:value-of select="@added"/> 件を追加</span>
            </li>
          </xsl:for-each>
        </ul>
      </xsl:if>
    </section>
    <xsl:if test="$report/added/feed">
      <section class="panel">
        <h2>追加したフィード</h2>
        <xsl:call-template name="lines"><xsl:with-param name="list" select="$report/added"/></xsl:call-template>
      </section>
    </xsl:if>
    <xsl:if test="$report/skipped/feed">
      <section class="panel">
        <h2>飛ばしたフィード</h2>
        <xsl:call-template name="lines"><xsl:with-param name="list" select="$report/skipped"/></xsl:call-template>
      </section>
    </xsl:if>
  </xsl:template>

  <xsl:template name="lines">
    <xsl:param name="list"/>
    <ul class="import-lines">
      <xsl:for-each select="$list/feed">
        <li>
          <span class="found-title"><xsl:value-of select="@title"/></span>
          <xsl:if test="@xmlUrl != '' and @xmlUrl != @title"><span class="url"><xsl:value-of select="@xmlUrl"/></span></xsl:if>
          <span class="line-note">
            <xsl:value-of select="@group"/>
            <xsl:if test="@reason"> ― <xsl:value-of select="@reason"/></xsl:if>
          </span>
        </li>
      </xsl:for-each>
    </ul>
    <xsl:if test="$list/@more"><p class="hint">ほか <xsl:value-of select="$list/@more"/> 件</p></xsl:if>
  </xsl:template>

  <xsl:template name="form">
    <form class="panel stack-form" action="import.html" method="post" enctype="multipart/form-data">
      <input type="hidden" name="_charset_"/>
      <xsl:if test="/import/@token"><input type="hidden" name="token" value="{/import/@token}"/></xsl:if>
      <h2>
        <xsl:choose>
          <xsl:when test="$done">ほかのファイルを読み込む</xsl:when>
          <xsl:otherwise>ファイルを選ぶ</xsl:otherwise>
        </xsl:choose>
      </h2>
      <p class="hint">ほかのフィードリーダーが書き出した OPML ファイル (5 MB まで) を選んでください。フォルダごとに同じ名前のグループに入り (なければ作ります)、フォルダの外のフィードはファイルの題名のグループに入ります。グループにすでにあるフィードは飛ばすので、同じファイルを何度読み込んでも重なりません。</p>
      <div class="field">
        <label for="import-file">OPML ファイル</label>
        <input id="import-file" type="file" name="opml" accept=".opml,.xml,text/x-opml,text/xml,application/xml" required="required"/>
      </div>
      <p class="actions">
        <button class="btn btn-primary" type="submit">読み込む</button>
        <a class="btn btn-quiet" href="gp.html">グループへ戻る</a>
      </p>
    </form>
  </xsl:template>
</xsl:stylesheet>
