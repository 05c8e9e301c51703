<?xml version="1.0" encoding="Shift_JIS"?>
<!-- The health page: every feed of the groups whose fetches fail, worst first, with what
     can be done about it. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="Shift_JIS" doctype-system="about:legacy-compat" indent="no"/>

  <xsl:template name="head">
    <xsl:param name="title"/>
    <head>
      <meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS"/>
      <meta name="viewport" content="width=device-width, initial-scale=1"/>
      <meta name="color-scheme" content="light dark"/>
      <!-- same-origin: its buttons post to the gateway, which refuses a form whose Origin
           the browser hides (no-referrer sends "null"); nothing goes to other sites. -->
      <meta name="referrer" content="same-origin"/>
      <title><xsl:value-of select="$title"/> - Norvane</title>
      <link rel="stylesheet" href="/norvane.css"/>
      <link rel="icon" href="/norvane.svg" type="image/svg+xml"/>
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
          <a href="health.html" aria-current="page">フィードの状態</a>
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

  <!-- One action on one feed: a POST form carrying the form token. -->
  <xsl:template name="action">
    <xsl:param name="do"/>
    <xsl:param name="url"/>
    <xsl:param name="label"/>
    <xsl:param name="primary" select="false()"/>
    <form class="inline-action" action="health.html" method="post">
      <input type="hidden" name="do" value="{$do}"/>
      <input type="hidden" name="u" value="{$url}"/>
      <input type="hidden" name="token" value="{/health/@token}"/>
      <button type="submit">
        <xsl:attribute name="class">btn<xsl:if test="$primary"> btn-primary</xsl:if></xsl:attribute>
        <xsl:value-of select="$label"/>
      </button>
    </form>
  </xsl:template>

  <xsl:template match="/">
    <html lang="ja">
      <xsl:call-template name="head"><xsl:with-param name="title">フィードの状態</xsl:with-param></xsl:call-template>
      <body class="page page-health">
        <xsl:call-template name="topbar"/>
        <main id="main" class="wrap">
          <header class="page-head">
            <p class="kicker">フィードの状態</p>
            <h1>取得に問題のあるフィード</h1>
            <p class="lead">グループのフィードのうち、最後の取得に失敗したもの、サーバーが待つよう求めたもの、移転したものを、深刻な順に並べます。記事はこれまでの記録から読めます。</p>
          </header>
          <xsl:if test="/health/@message">
            <div class="notice" role="status"><p class="message"><xsl:value-of select="/health/@message"/></p></div>
          </xsl:if>
          <xsl:if test="/health/@confirm">
            <div class="notice" role="alert">
              <h2>確認してください</h2>
              <p class="message url"><xsl:value-of select="/health/@confirmUrl"/></p>
              <xsl:call-template name="action">
                <xsl:with-param name="do" select="string(/health/@confirm)"/>
                <xsl:with-param name="url" select="string(/health/@confirmUrl)"/>
                <xsl:with-param name="label">実行する</xsl:with-param>
                <xsl:with-param name="primary" select="true()"/>
              </xsl:call-template>
            </div>
          </xsl:if>
          <xsl:choose>
            <xsl:when test="/health/feed">
              <ul class="health-list">
                <xsl:apply-templates select="/health/feed"/>
              </ul>
            </xsl:when>
            <xsl:otherwise>
              <section class="result result-ok" role="status">
                <h2>すべてのフィードは順調です</h2>
                <p class="result-text">グループにある <xsl:value-of select="/health/@feeds"/> 件のフィードに、取得の問題はありません。</p>
              </section>
            </xsl:otherwise>
          </xsl:choose>
        </main>
        <xsl:call-template name="footer"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="feed">
    <li class="panel health-feed">
      <h2 class="health-title"><a href="rss.html?u={@url}/"><xsl:value-of select="@title"/></a></h2>
      <p class="url"><xsl:value-of select="@url"/></p>
      <dl class="health-facts">
        <xsl:if test="@reason">
          <dt>理由</dt><dd><strong><xsl:value-of select="@reason"/></strong><xsl:if test="detail"> (<xsl:value-of select="detail"/>)</xsl:if></dd>
        </xsl:if>
        <xsl:if test="@since">
          <dt>失敗し始めた日時</dt><dd><time datetime="{@since}"><xsl:value-of select="@sinceShown"/></time></dd>
        </xsl:if>
        <xsl:if test="@failures">
          <dt>続けて失敗した回数</dt><dd><xsl:value-of select="@failures"/></dd>
        </xsl:if>
        <dt>最後に取得できた日時</dt>
        <dd>
          <xsl:choose>
            <xsl:when test="@lastSuccess"><time datetime="{@lastSuccess}"><xsl:value-of select="@lastSuccessShown"/></time></xsl:when>
            <xsl:otherwise>まだありません</xsl:otherwise>
          </xsl:choose>
        </dd>
        <xsl:if test="@waitUntil">
          <dt>サーバーの求めで待つ</dt><dd><time datetime="{@waitUntil}"><xsl:value-of select="@waitUntilShown"/></time> まで</dd>
        </xsl:if>
        <dt>グループ</dt>
        <dd><xsl:for-each select="group"><xsl:if test="position() != 1">、</xsl:if><a href="gp.html?u={@file}/"><xsl:value-of select="."/><xsl:if test="normalize-space(.) = ''"><xsl:value-of select="@file"/></xsl:if></a></xsl:for-each></dd>
      </dl>
      <xsl:if test="@movedTo">
        <p class="health-moved">移転先: <span class="url"><xsl:value-of select="@movedTo"/></span></p>
      </xsl:if>
      <div class="actions">
        <xsl:if test="@movedTo">
          <xsl:call-template name="action">
            <xsl:with-param name="do">move</xsl:with-param>
            <xsl:with-param name="url" select="string(@url)"/>
            <xsl:with-param name="label">新しいアドレスを使う</xsl:with-param>
            <xsl:with-param name="primary" select="true()"/>
          </xsl:call-template>
        </xsl:if>
        <xsl:if test="@gone">
          <xsl:call-template name="action">
            <xsl:with-param name="do">remove</xsl:with-param>
            <xsl:with-param name="url" select="string(@url)"/>
            <xsl:with-param name="label">グループから外す</xsl:with-param>
          </xsl:call-template>
          <xsl:call-template name="action">
            <xsl:with-param name="do">retry</xsl:with-param>
            <xsl:with-param name="url" select="string(@url)"/>
            <xsl:with-param name="label">もう一度試す</xsl:with-param>
          </xsl:call-template>
        </xsl:if>
      </div>
    </li>
  </xsl:template>
</xsl:stylesheet>
