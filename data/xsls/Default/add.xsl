<?xml version="1.0" encoding="Shift_JIS"?>
<!-- The add page: the result of adding a feed to a group, or the form to do it. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
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

  <!-- The form token: a form that adds must carry it, or the addition waits for a click. -->
  <xsl:template name="token">
    <xsl:if test="/add/@token"><input type="hidden" name="token" value="{/add/@token}"/></xsl:if>
  </xsl:template>

  <xsl:template name="footer">
    <footer class="foot"><p><span>Norvane 0.9</span><a href="/#help">使い方</a><a href="/#marks">記事のしるし</a></p></footer>
  </xsl:template>

  <xsl:variable name="url" select="string(/add/addUrl/@xmlUrl)"/>
  <xsl:variable name="file" select="string(/add/selected/@file)"/>
  <xsl:variable name="added" select="normalize-space(/add/result/error) = '0'"/>
  <xsl:variable name="message" select="string(/add/result/message)"/>
  <!-- Asked for by a page without the form's token: nothing was added, the form waits to
       be confirmed. -->
  <xsl:variable name="confirm" select="/add/result/@confirm = 'on'"/>
  <!-- Both given and still not added (and not waiting): the addition itself failed.
       Otherwise the messages only say what the form still needs. -->
  <!-- The feeds a page offers: one is ready to add, several are to be chosen from. -->
  <xsl:variable name="offers" select="/add/found/feed"/>
  <xsl:variable name="failed" select="not($added) and not($confirm) and not($offers) and $url != '' and $file != ''"/>
  <!-- What the group keeps: the feed's address, never the page's. -->
  <xsl:variable name="stored">
    <xsl:choose>
      <xsl:when test="/add/added/@xmlUrl"><xsl:value-of select="/add/added/@xmlUrl"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$url"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <xsl:template match="/">
    <html lang="ja">
      <xsl:call-template name="head">
        <xsl:with-param name="title">
          <xsl:choose>
            <xsl:when test="$added">追加しました</xsl:when>
            <xsl:otherwise>フィードを追加</xsl:otherwise>
          </xsl:choose>
        </xsl:with-param>
      </xsl:call-template>
      <body class="page page-add">
        <xsl:call-template name="topbar"><xsl:with-param name="here" select="'add'"/></xsl:call-template>
        <main id="main" class="wrap narrow">
          <xsl:choose>
            <xsl:when test="$added"><xsl:call-template name="added"/></xsl:when>
            <xsl:otherwise><xsl:call-template name="form"/></xsl:otherwise>
          </xsl:choose>
        </main>
        <xsl:call-template name="footer"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="added">
    <section class="result result-ok" role="status">
      <p class="kicker">フィードを追加</p>
      <h1>追加しました</h1>
      <p class="result-text">フィード <strong class="url"><xsl:value-of select="$stored"/></strong> をグループ <strong><xsl:value-of select="$file"/></strong> に追加しました。</p>
      <xsl:if test="$stored != $url"><p class="hint">入力したアドレス <span class="url"><xsl:value-of select="$url"/></span> のページが案内しているフィードです。</p></xsl:if>
      <p class="actions">
        <a class="btn btn-primary" href="rss.html?u={$stored}/&amp;r=on">このフィードを読む</a>
        <a class="btn" href="gp.html?u={$file}/">グループを見る</a>
      </p>
    </section>
    <section class="panel">
      <h2>続けて追加</h2>
      <form class="inline-form" action="add.html" method="get">
        <input type="hidden" name="_charset_"/>
        <input type="hidden" name="ue" value="on"/>
        <input type="hidden" name="opml" value="{$file}"/>
        <xsl:call-template name="token"/>
        <label for="add-u">フィードかサイトの URL</label>
        <input id="add-u" type="text" inputmode="url" autocapitalize="off" spellcheck="false" name="u" required="required" placeholder="https://example.jp/"/>
        <button class="btn btn-primary" type="submit">追加</button>
      </form>
    </section>
  </xsl:template>

  <xsl:template name="form">
    <header class="page-head">
      <p class="kicker">フィードを追加</p>
      <h1>フィードをグループに追加</h1>
      <p class="lead">フィードの URL か、サイトのアドレス (example.jp など) を入れ、追加先のグループを選んでください。サイトなら、そのページが案内しているフィードを探します。</p>
    </header>
    <xsl:if test="normalize-space($message) != ''">
      <xsl:choose>
        <xsl:when test="$failed">
          <div class="notice notice-error" role="alert">
            <h2>追加できませんでした</h2>
            <p class="message"><xsl:value-of select="$message"/></p>
          </div>
        </xsl:when>
        <xsl:when test="$offers">
          <div class="notice notice-found" role="status">
            <h2>フィードが見つかりました</h2>
            <p class="message"><xsl:value-of select="$message"/></p>
            <xsl:if test="count($offers) = 1">
              <p class="found-one"><span class="found-title"><xsl:value-of select="$offers/@title"/><xsl:if test="normalize-space($offers/@title) = ''">(題名なし)</xsl:if></span> <span class="url"><xsl:value-of select="$offers/@xmlUrl"/></span></p>
            </xsl:if>
          </div>
        </xsl:when>
        <xsl:when test="$url != '' or $file != ''">
          <div class="notice" role="status"><p class="message"><xsl:value-of select="$message"/></p></div>
        </xsl:when>
      </xsl:choose>
    </xsl:if>
    <form class="panel stack-form" action="add.html" method="get">
      <input type="hidden" name="_charset_"/>
      <input type="hidden" name="ue" value="on"/>
      <xsl:call-template name="token"/>
      <xsl:choose>
        <xsl:when test="count($offers) &gt; 1">
          <fieldset class="field choices">
            <legend>追加するフィード</legend>
            <xsl:for-each select="$offers">
              <div class="choice">
                <input id="add-u-{position()}" type="radio" name="u" value="{@xmlUrl}" required="required">
                  <xsl:if test="position() = 1"><xsl:attribute name="checked">checked</xsl:attribute></xsl:if>
                </input>
                <label for="add-u-{position()}"><span class="found-title"><xsl:value-of select="@title"/><xsl:if test="normalize-space(@title) = ''">(題名なし)</xsl:if></span> <span class="url"><xsl:value-of select="@xmlUrl"/></span></label>
              </div>
            </xsl:for-each>
          </fieldset>
        </xsl:when>
        <xsl:otherwise>
          <xsl:variable name="value">
            <xsl:choose>
              <xsl:when test="$offers"><xsl:value-of select="$offers/@xmlUrl"/></xsl:when>
              <xsl:otherwise><xsl:value-of select="$url"/></xsl:otherwise>
            </xsl:choose>
          </xsl:variable>
          <div class="field">
            <label for="add-u">フィードかサイトの URL</label>
            <input id="add-u" type="text" inputmode="url" autocapitalize="off" spellcheck="false" name="u" value="{$value}" required="required" placeholder="https://example.jp/">
              <xsl:if test="$url = ''"><xsl:attribute name="autofocus">autofocus</xsl:attribute></xsl:if>
            </input>
          </div>
        </xsl:otherwise>
      </xsl:choose>
      <div class="field">
        <label for="add-opml">追加先のグループ</label>
        <xsl:choose>
          <xsl:when test="/add/items/item">
            <select id="add-opml" name="opml" required="required">
              <xsl:if test="$url != '' and $file = ''"><xsl:attribute name="autofocus">autofocus</xsl:attribute></xsl:if>
              <xsl:if test="not(/add/items/item[@file = $file])"><option value="">選んでください</option></xsl:if>
              <xsl:for-each select="/add/items/item">
                <option value="{@file}">
                  <xsl:if test="@file = $file"><xsl:attribute name="selected">selected</xsl:attribute></xsl:if>
                  <xsl:value-of select="@title"/><xsl:if test="normalize-space(@title) = ''"><xsl:value-of select="@file"/></xsl:if>
                </option>
              </xsl:for-each>
            </select>
          </xsl:when>
          <xsl:otherwise><p class="hint">グループがありません。グループ整理の画面でグループを作ってください。</p></xsl:otherwise>
        </xsl:choose>
      </div>
      <p class="actions">
        <button class="btn btn-primary" type="submit">追加</button>
        <a class="btn btn-quiet" href="gp.html">グループへ戻る</a>
      </p>
      <xsl:if test="$url = '' and $file = '' and normalize-space($message) != ''">
        <p class="hint"><xsl:value-of select="$message"/></p>
      </xsl:if>
    </form>
  </xsl:template>
</xsl:stylesheet>
