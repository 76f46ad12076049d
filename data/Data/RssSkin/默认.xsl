<?xml version="1.0" encoding="UTF-8"?>
<!-- The default skin: one item, or a page of items for quick reading (an anchor per item link). -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="no"/>

  <xsl:template match="/">
    <html>
      <head>
        <meta charset="UTF-8"/>
        <title><xsl:value-of select="rss/channel/item[1]/title"/></title>
        <style type="text/css">
          body { margin: 0; background: #f6f7f9; color: #222;
                 font: 15px/1.7 "Noto Sans CJK SC", "Microsoft YaHei", "PingFang SC", sans-serif; }
          .item { background: #fff; margin: 14px auto; max-width: 54em; padding: 18px 26px 22px;
                  border: 1px solid #e3e6ea; border-radius: 6px; }
          h1 { font-size: 21px; line-height: 1.4; margin: 0 0 6px; font-weight: 600; }
          h1 a { color: #1a4fa0; text-decoration: none; }
          h1 a:hover { text-decoration: underline; }
          .meta { color: #8a9099; font-size: 12.5px; margin-bottom: 14px;
                  border-bottom: 1px solid #eef0f3; padding-bottom: 8px; }
          .meta span + span:before { content: " · "; }
          .content { word-wrap: break-word; overflow-wrap: anywhere; }
          .content img { max-width: 100%; height: auto; }
          .content pre { white-space: pre-wrap; background: #f3f4f6; padding: 8px; }
          .content blockquote { margin: 0 0 0 1em; padding-left: 1em; color: #555;
                                border-left: 3px solid #d8dce2; }
          .empty { color: #999; text-align: center; margin-top: 4em; }
          .enclosures { margin-top: 16px; padding-top: 8px; border-top: 1px solid #eef0f3;
                        font-size: 13px; }
          .enclosures a { color: #1a4fa0; word-break: break-all; }
          .enclosures .about { color: #8a9099; margin-left: 0.5em; }
        </style>
      </head>
      <body>
        <xsl:choose>
          <xsl:when test="rss/channel/item">
            <xsl:apply-templates select="rss/channel/item"/>
          </xsl:when>
          <xsl:otherwise>
            <p class="empty">没有可以显示的文章</p>
          </xsl:otherwise>
        </xsl:choose>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="item">
    <div class="item">
      <a name="{link}" id="{link}"></a>
      <h1>
        <a href="{link}" title="{link}">
          <xsl:choose>
            <xsl:when test="normalize-space(title)"><xsl:value-of select="title"/></xsl:when>
            <xsl:otherwise>(无标题)</xsl:otherwise>
          </xsl:choose>
        </a>
      </h1>
      <div class="meta">
        <xsl:if test="normalize-space(author)"><span><xsl:value-of select="author"/></span></xsl:if>
        <xsl:if test="normalize-space(pubDate)"><span><xsl:value-of select="pubDate"/></span></xsl:if>
      </div>
      <div class="content">
        <xsl:value-of select="description" disable-output-escaping="yes"/>
      </div>
      <xsl:if test="enclosure">
        <div class="enclosures">
          <div>附件:</div>
          <xsl:for-each select="enclosure">
            <div class="enclosure">
              <a href="{@open}" title="{@url}"><xsl:value-of select="@url"/></a>
              <xsl:if test="normalize-space(@type) or normalize-space(@size)">
                <span class="about">
                  <xsl:text>(</xsl:text>
                  <xsl:value-of select="@type"/>
                  <xsl:if test="normalize-space(@type) and normalize-space(@size)">, </xsl:if>
                  <xsl:value-of select="@size"/>
                  <xsl:text>)</xsl:text>
                </span>
              </xsl:if>
            </div>
          </xsl:for-each>
        </div>
      </xsl:if>
    </div>
  </xsl:template>
</xsl:stylesheet>
