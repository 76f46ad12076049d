<?xml version="1.0" encoding="UTF-8"?>
<!-- The default article style: the article's title, date and category above its body and its
     tags below, set for comfortable reading of Chinese text. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="no"/>

  <xsl:template match="/">
    <html>
      <head>
        <meta charset="UTF-8"/>
        <title><xsl:value-of select="root/title"/></title>
        <style type="text/css">
          body { margin: 0; background: #f5f6f8; color: #222;
                 font: 16px/1.8 "Noto Serif CJK SC", "Noto Sans CJK SC", "Source Han Serif SC",
                       "Microsoft YaHei", "PingFang SC", serif; }
          .article { background: #fff; margin: 18px auto; max-width: 46em; padding: 24px 34px 30px;
                     border: 1px solid #e2e5ea; border-radius: 6px; }
          h1 { font: 600 23px/1.45 "Noto Sans CJK SC", "Microsoft YaHei", sans-serif;
               margin: 0 0 8px; color: #1b2a3a; letter-spacing: 0.02em; }
          .meta { color: #7d8590; font-size: 13px; padding-bottom: 10px; margin-bottom: 18px;
                  border-bottom: 1px solid #eceef2; font-family: "Noto Sans CJK SC", sans-serif; }
          .meta .category { display: inline-block; margin-left: 1em; padding: 0 8px;
                            background: #eef3fb; color: #2f5d9e; border-radius: 3px; }
          .content { text-align: justify; word-wrap: break-word; overflow-wrap: anywhere; }
          .content p { margin: 0 0 1em; }
          .content img { max-width: 100%; height: auto; }
          .content a { color: #1f5fb3; }
          .content pre { white-space: pre-wrap; background: #f3f4f6; padding: 8px 12px; }
          .content blockquote { margin: 0 0 1em; padding: 2px 0 2px 1em; color: #555;
                                border-left: 3px solid #d5dae1; }
          .empty { color: #999; }
          .tags { margin-top: 18px; padding-top: 10px; border-top: 1px solid #eceef2;
                  color: #7d8590; font: 13px "Noto Sans CJK SC", sans-serif; }
          .tags .tag { display: inline-block; margin: 0 6px 4px 0; padding: 0 8px;
                       background: #f1f3f6; color: #43506a; border-radius: 10px; }
        </style>
      </head>
      <body>
        <div class="article">
          <h1>
            <xsl:choose>
              <xsl:when test="normalize-space(root/title)"><xsl:value-of select="root/title"/></xsl:when>
              <xsl:otherwise>(无标题)</xsl:otherwise>
            </xsl:choose>
          </h1>
          <div class="meta">
            <span class="date"><xsl:value-of select="root/pubdate"/></span>
            <xsl:if test="normalize-space(root/category) and root/category != 'NULL'">
              <span class="category"><xsl:value-of select="root/category"/></span>
            </xsl:if>
          </div>
          <div class="content">
            <xsl:value-of select="root/description" disable-output-escaping="yes"/>
          </div>
          <xsl:if test="root/tags/tag">
            <div class="tags">标签:
              <xsl:for-each select="root/tags/tag">
                <span class="tag"><xsl:value-of select="."/></span>
              </xsl:for-each>
            </div>
          </xsl:if>
        </div>
      </body>
    </html>
  </xsl:template>
</xsl:stylesheet>
