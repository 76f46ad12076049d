#include "platform/xml/HtmlSanitizer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

HtmlSanitizeOptions Players() {
    return HtmlSanitizeOptions{.videoHosts = {"www.youtube.com", "player.vimeo.com"}};
}

std::string Clean(const std::string& html) {
    return CHtmlSanitizer::Sanitize(html, Players());
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(HtmlSanitizer, CodeAndItsContentGo) {
    const std::string out =
        Clean("<p>前<script>alert('x')</script>后</p><style>body{display:none}</style>"
              "<object data=\"x.swf\"><param name=a value=b>flash</object><embed src=\"y.swf\">"
              "<form action=\"http://evil/\">表单<input name=pw><button>送出</button>"
              "<textarea>t</textarea></form><meta http-equiv=refresh content=\"0;url=http://e/\">"
              "<link rel=stylesheet href=\"http://e/x.css\"><base href=\"http://e/\">");
    EXPECT_EQ(out, "<p>前后</p>表单") << out;
}

TEST(HtmlSanitizer, EventAttributesAndScriptAddressesGo) {
    const std::string out =
        Clean("<img src=\"http://a/x.png\" onerror=\"alert(1)\" alt=\"图\">"
              "<a href=\"javascript:alert(1)\" onclick=\"x()\">甲</a>"
              "<a href=\" JaVa\tScRiPt:alert(1)\">乙</a><a href=\"vbscript:msgbox\">丙</a>"
              "<a href=\"data:text/html,<script>alert(1)</script>\">丁</a>"
              "<img src=\"data:image/png;base64,iVBORw0KGgo=\">"
              "<a href=\"data:image/png;base64,AAAA\">戊</a>"
              "<a href=\"http://a/b?c=1&amp;d=2\" target=_blank>己</a><a href=\"/rel\">庚</a>"
              "<svg onload=\"alert(1)\"><script>alert(2)</script></svg>");
    EXPECT_FALSE(Has(out, "onerror")) << out;
    EXPECT_FALSE(Has(out, "onclick")) << out;
    EXPECT_FALSE(Has(out, "script")) << out;
    EXPECT_FALSE(Has(out, "vbscript")) << out;
    EXPECT_FALSE(Has(out, "data:text")) << out;
    EXPECT_FALSE(Has(out, "svg")) << out;
    EXPECT_FALSE(Has(out, "target")) << out;
    EXPECT_TRUE(Has(out, "<img src=\"http://a/x.png\" alt=\"图\">")) << out;
    EXPECT_TRUE(Has(out, "<a>甲</a><a>乙</a><a>丙</a><a>丁</a>")) << out;
    EXPECT_TRUE(Has(out, "<img src=\"data:image/png;base64,iVBORw0KGgo=\">")) << out;
    EXPECT_TRUE(Has(out, "<a>戊</a>")) << out;
    EXPECT_TRUE(Has(out, "<a href=\"http://a/b?c=1&amp;d=2\">己</a><a href=\"/rel\">庚</a>"))
        << out;
}

TEST(HtmlSanitizer, PlayersOnlyFromAllowedHostsOverHttps) {
    const std::string allowed =
        Clean("<iframe src=\"https://www.youtube.com/embed/abc\" width=\"560\" height=\"315\" "
              "onload=\"x()\" srcdoc=\"<script>alert(1)</script>\"></iframe>");
    EXPECT_TRUE(Has(allowed, "<iframe src=\"https://www.youtube.com/embed/abc\" width=\"560\" "
                             "height=\"315\" sandbox=\""))
        << allowed;
    EXPECT_FALSE(Has(allowed, "onload")) << allowed;
    EXPECT_FALSE(Has(allowed, "srcdoc")) << allowed;

    for (const char* foreign : {"<iframe src=\"https://evil.example/embed\">备用</iframe>",
                                "<iframe src=\"http://www.youtube.com/embed/abc\"></iframe>",
                                "<iframe src=\"https://www.youtube.com.evil.example/x\"></iframe>",
                                "<iframe src=\"https://www.youtube.com@evil.example/x\"></iframe>",
                                "<iframe src=\"javascript:alert(1)\"></iframe>"}) {
        const std::string out = Clean(std::string("<p>文</p>") + foreign);
        EXPECT_EQ(out, "<p>文</p>") << foreign << " -> " << out;
    }
}

TEST(HtmlSanitizer, OverlaysLoseTheirPositionButKeepTheirLook) {
    const std::string out = Clean(
        "<div style=\"position: fixed; top: 0; left:0; width:100%; height:100%; z-index:9999; "
        "background: url('http://a/b.png'); color: red\">遮罩</div>"
        "<p style=\"margin-top: 1em; top: 3px\">段</p>"
        "<span style=\"POSITION:ABSOLUTE;LEFT:-10px;Inset:0\">字</span>"
        "<b style=\"width: expression(alert(1)); position/**/:fixed\">粗</b>");
    EXPECT_TRUE(Has(out, "<div style=\"width: 100%; height: 100%; color: red\">遮罩</div>")) << out;
    // Without absolute or fixed positioning, an offset moves nothing.
    EXPECT_TRUE(Has(out, "<p style=\"margin-top: 1em; top: 3px\">段</p>")) << out;
    EXPECT_TRUE(Has(out, "<span>字</span>")) << out;
    EXPECT_TRUE(Has(out, "<b>粗</b>")) << out;
}

// A style that fetches anything would load remote images (a tracking pixel) whatever the user
// chose for them: every such declaration goes, the rest of the style stays.
TEST(HtmlSanitizer, StylesLoadNothing) {
    const std::string out = CHtmlSanitizer::Sanitize(ReadTestData("html/css-loads.html"),
                                                     {.remoteImages = RemoteImages::kPlaceholder});
    EXPECT_FALSE(Has(out, "track.example")) << out;
    EXPECT_FALSE(Has(out, "expression")) << out;
    for (const char* kept :
         {"<div style=\"color: #333\">有背景的段落</div>", "<p style=\"margin: 0\">大写的 URL</p>",
          "<span>列表图</span>", "<span style=\"font-weight: bold\">图集</span>",
          "<span style=\"height: 1em\">表达式</span>", "<span style=\"color: red\">导入</span>",
          "<span>转义</span>",
          "<p style='font-family: \"Noto Serif\", serif; text-align: center'>只有字体</p>"})
        EXPECT_TRUE(Has(out, kept)) << kept << "\n" << out;
}

TEST(HtmlSanitizer, BrokenMarkupIsClosedAndTextKeptIntact) {
    const std::string out =
        Clean("<p>中文「引号」&amp; 😀<b>粗<i>斜</p><ul><li>一<li>二</ul><table><tr><td "
              "colspan=2 onmouseover=x>格<td>格二</table><font color=red>红</font>"
              "<!-- <script>注释</script> --><pre><code>a &lt; b</code></pre>"
              "<figure><img src=\"/i.png\"><figcaption>说明</figcaption></figure>"
              "<video src=\"https://a/v.mp4\" controls autoplay></video>未闭合<div><span>");
    EXPECT_TRUE(Has(out, "<p>中文「引号」&amp; 😀<b>粗<i>斜</i></b></p>")) << out;
    EXPECT_TRUE(Has(out, "<ul>\n<li>一</li>\n<li>二</li>\n</ul>") ||
                Has(out, "<ul><li>一</li><li>二</li></ul>"))
        << out;
    EXPECT_TRUE(Has(out, "<td colspan=\"2\">格</td>")) << out;
    EXPECT_TRUE(Has(out, "红")) << out;
    EXPECT_FALSE(Has(out, "<font")) << out;
    EXPECT_FALSE(Has(out, "注释")) << out;
    EXPECT_TRUE(Has(out, "<pre><code>a &lt; b</code></pre>")) << out;
    EXPECT_TRUE(Has(out, "<figure><img src=\"/i.png\"><figcaption>说明</figcaption></figure>"))
        << out;
    EXPECT_TRUE(Has(out, "<video src=\"https://a/v.mp4\" controls>")) << out;
    EXPECT_FALSE(Has(out, "autoplay")) << out;
    EXPECT_TRUE(Has(out, "未闭合<div><span></span></div>")) << out;
    EXPECT_EQ(Clean("纯文本，没有标记。"), "纯文本，没有标记。");
    EXPECT_EQ(Clean(""), "");
}

TEST(HtmlSanitizer, RemoteImagesCanWaitBehindAPlaceholder) {
    HtmlSanitizeOptions options = Players();
    options.remoteImages = RemoteImages::kPlaceholder;
    options.loadImagesAddress = "quillpane:/load-images";
    const std::string out = CHtmlSanitizer::Sanitize(
        "<img src=\"https://a/x.png\" alt=\"图\"><img src=\"data:image/gif;base64,R0lGOD\">",
        options);
    EXPECT_TRUE(Has(out, "<a class=\"quill-image-placeholder\" href=\"quillpane:/load-images\" "
                         "data-src=\"https://a/x.png\" title=\"图\">点击加载图片</a>"))
        << out;
    EXPECT_TRUE(Has(out, "<img src=\"data:image/gif;base64,R0lGOD\">")) << out;
}

TEST(HtmlSanitizer, HostListsAreCheckedAndParsed) {
    EXPECT_EQ(CHtmlSanitizer::ParseHostList(" WWW.YouTube.com, player.vimeo.com;a-b.cn  "),
              (std::vector<std::string>{"www.youtube.com", "player.vimeo.com", "a-b.cn"}));
    EXPECT_EQ(CHtmlSanitizer::CheckHostList("www.youtube.com,player.vimeo.com"), "");
    EXPECT_EQ(CHtmlSanitizer::CheckHostList(""), "");
    EXPECT_NE(CHtmlSanitizer::CheckHostList("https://www.youtube.com/"), "");
    EXPECT_NE(CHtmlSanitizer::CheckHostList("a.com,*.evil"), "");
}
