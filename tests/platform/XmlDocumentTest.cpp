#include "platform/xml/XmlDocument.h"
#include "platform/HostileServer.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/HtmlLinks.h"
#include "platform/xml/XmlText.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

TEST(XmlPath, NumericPredicatesCountFromZeroAndOthersStayAsWritten) {
    EXPECT_EQ(CXmlDocument::TranslatePath("/rss/channel/item[0]"), "/rss/channel/item[1]");
    EXPECT_EQ(CXmlDocument::TranslatePath("/a[0]/b[2]/c[10]"), "/a[1]/b[3]/c[11]");
    EXPECT_EQ(CXmlDocument::TranslatePath("/a[ 3 ]"), "/a[4]");
    // Nested predicates: only the numeric one moves.
    EXPECT_EQ(CXmlDocument::TranslatePath("/a[b[0]]/c[1]"), "/a[b[1]]/c[2]");
    // Other predicates stay as written.
    EXPECT_EQ(CXmlDocument::TranslatePath("/error/msg[id=\"3001\"]/pos"),
              "/error/msg[id=\"3001\"]/pos");
    EXPECT_EQ(CXmlDocument::TranslatePath("/a[name=\"[0]\"]"), "/a[name=\"[0]\"]");
    EXPECT_EQ(CXmlDocument::TranslatePath("/a[@n='1']"), "/a[@n='1']");
    EXPECT_EQ(CXmlDocument::TranslatePath("/a[last()]"), "/a[last()]");
    EXPECT_EQ(CXmlDocument::TranslatePath("/a[position()>2]"), "/a[position()>2]");
    EXPECT_EQ(CXmlDocument::TranslatePath("/a[-1]"), "/a[-1]");
}

TEST(XmlDocument, SelectsByZeroBasedPathsAndWalksChildren) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadText("<rss><channel><item><link>a</link></item><item><link>b</link>"
                             "</item><item><title>no link</title></item></channel></rss>"));
    EXPECT_EQ(doc.SelectNode("/rss/channel/item[0]/link").GetText(), "a");
    EXPECT_EQ(doc.SelectNode("/rss/channel/item[1]/link").GetText(), "b");
    EXPECT_TRUE(doc.SelectNode("/rss/channel/item[2]/link").IsNull());
    EXPECT_EQ(doc.SelectNodes("/rss/channel/item").size(), 3u);
    CXmlNode channel = doc.SelectNode("/rss/channel");
    EXPECT_EQ(channel.SelectNode("item[1]/link").GetText(), "b");
    int count = 0;
    for (CXmlNode item = channel.FirstChild(); item; item = item.NextSibling())
        ++count;
    EXPECT_EQ(count, 3);
    EXPECT_TRUE(doc.SelectNode("/rss/[[broken").IsNull());
}

TEST(XmlDocument, Gb2312DeclarationDecodesGbkOnlyCharacters) {
    // 堃 and 喆 are in GBK but not in GB2312; real files under "gb2312" hold them.
    const std::string text = "<?xml version=\"1.0\" encoding=\"gb2312\"?><r a=\"" +
                             CTextCodec::Utf8ToGbk("属性") + "\">" +
                             CTextCodec::Utf8ToGbk("中文堃喆") + "</r>";
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadText(text)) << doc.GetLastError();
    EXPECT_EQ(doc.Root().GetText(), "中文堃喆");
    EXPECT_EQ(doc.Root().GetAttribute("a"), "属性");
}

TEST(XmlDocument, ExternalEntitiesAreNeverLoadedNorEntitiesExpandedWithoutBound) {
    std::string dir = MakeTempDir();
    WriteAll(dir + "/secret.txt", "TOPSECRET");
    const std::string text = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file://" +
                             dir + "/secret.txt\">]><r>&x;</r>";
    CXmlDocument doc;
    if (doc.LoadText(text))
        EXPECT_EQ(doc.Root().GetText().find("TOPSECRET"), std::string::npos);
    // An external DTD is not fetched either, and the document still loads.
    const std::string withDtd =
        "<?xml version=\"1.0\"?><!DOCTYPE r SYSTEM \"file://" + dir + "/secret.txt\"><r>ok</r>";
    ASSERT_TRUE(doc.LoadText(withDtd));
    EXPECT_EQ(doc.Root().GetText(), "ok");
    RemoveTree(dir);
    // Nor are entities expanded to gigabytes (the billion laughs).
    EXPECT_FALSE(doc.LoadText(hostile::EntityBomb("<r>", "</r>")));
    EXPECT_FALSE(doc.GetLastError().empty());
}

TEST(XmlDocument, InternalEntitiesAndCharacterReferencesAreRead) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadText("<!DOCTYPE r [<!ENTITY co \"Quill &amp; Co\">]><r>&co; &#x4E2D;</r>"));
    EXPECT_EQ(doc.Root().GetText(), "Quill & Co 中");
}

TEST(XmlDocument, MalformedTextFailsWithAReason) {
    CXmlDocument doc;
    EXPECT_FALSE(doc.LoadText("<a><b></a>"));
    EXPECT_NE(doc.GetLastError().find("line"), std::string::npos);
    EXPECT_FALSE(doc.LoadText(""));
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_FALSE(doc.LoadFile("/nonexistent/file.xml"));
}

TEST(XmlDocument, EditsTextAttributesAndStructure) {
    CXmlDocument doc;
    doc.CreateNew("accounts");
    CXmlNode root = doc.Root();
    CXmlNode first = root.AppendChild("account");
    first.AppendChild("name", "甲");
    CXmlNode third = root.AppendChild("account");
    third.AppendChild("name", "丙");
    CXmlNode second = root.InsertChildBefore("account", third);
    second.AppendChild("name", "乙");
    EXPECT_EQ(doc.SelectNode("/accounts/account[1]/name").GetText(), "乙");

    // Text is stored literally: markup and entity-like text do not turn into nodes.
    CXmlNode name = doc.SelectNode("/accounts/account[0]/name");
    name.SetText("A & B <c> &amp;");
    name.SetAttribute("title", "say \"hi\" & <bye>");
    CXmlDocument reread;
    ASSERT_TRUE(reread.LoadText(doc.SaveText()));
    EXPECT_EQ(reread.SelectNode("/accounts/account[0]/name").GetText(), "A & B <c> &amp;");
    EXPECT_EQ(reread.SelectNode("/accounts/account[0]/name").GetAttribute("title"),
              "say \"hi\" & <bye>");

    // Move the last account to the front, then remove the middle one.
    root.InsertNodeBefore(doc.SelectNode("/accounts/account[2]"), root.FirstChild());
    EXPECT_EQ(doc.SelectNode("/accounts/account[0]/name").GetText(), "丙");
    doc.SelectNode("/accounts/account[1]").Remove();
    ASSERT_EQ(root.Children().size(), 2u);
    EXPECT_EQ(doc.SelectNode("/accounts/account[1]/name").GetText(), "乙");
    EXPECT_EQ(root.Child("account").Child("name").GetXml(), "<name>丙</name>");
}

TEST(XmlDocument, CopiesNodesFromAnotherDocument) {
    CXmlDocument from;
    ASSERT_TRUE(from.LoadText("<opml><body><outline text=\"a\"><outline text=\"b\"/></outline>"
                              "</body></opml>"));
    CXmlDocument to;
    to.CreateNew("body");
    to.Root().AppendNode(from.SelectNode("//outline[@text='a']"));
    EXPECT_EQ(to.SelectNode("/body/outline/outline").GetAttribute("text"), "b");
    EXPECT_FALSE(from.SelectNode("//outline[@text='a']").IsNull()) << "the source stays";
}

TEST(XmlDocument, SavesGbkWithDeclarationAndReferencesForTheRest) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadText("<r><t>中文😀</t><c><![CDATA[甲😀]]></c></r>"));
    std::string gbk = doc.SaveText("gb2312");
    EXPECT_EQ(gbk.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?>", 0), 0u);
    EXPECT_NE(gbk.find(CTextCodec::Utf8ToGbk("中文") + "&#128512;"), std::string::npos);
    // Inside CDATA the section is closed around the reference.
    EXPECT_NE(gbk.find("]]>&#128512;<![CDATA["), std::string::npos);
    CXmlDocument reread;
    ASSERT_TRUE(reread.LoadText(gbk)) << reread.GetLastError();
    EXPECT_EQ(reread.SelectNode("/r/t").GetText(), "中文😀");
    EXPECT_EQ(reread.SelectNode("/r/c").GetText(), "甲😀");
}

TEST(XmlDocument, SaveFileWritesOnlyWhatLoadsBack) {
    std::string dir = MakeTempDir();
    const std::string path = dir + "/a.xml";
    CXmlDocument doc;
    doc.CreateNew("app");
    CXmlNode value = doc.Root().AppendChild("v", "甲 <&> \"'\t\n乙");
    value.SetAttribute("title", "标题 & <b>");
    for (const char* encoding : {"UTF-8", "gb2312"}) {
        ASSERT_TRUE(doc.SaveFile(path, encoding)) << doc.GetLastError();
        CXmlDocument reread;
        ASSERT_TRUE(reread.LoadFile(path, CXmlDocument::kKeepBlanks)) << encoding;
        EXPECT_EQ(reread.SelectNode("/app/v").GetText(), "甲 <&> \"'\t\n乙") << encoding;
        EXPECT_EQ(reread.SelectNode("/app/v").GetAttribute("title"), "标题 & <b>") << encoding;
    }

    // A control character or a broken byte would make the file unreadable: it is refused and
    // the file keeps what it held.
    const std::string before = ReadAll(path);
    for (const char* bad : {"a\x01"
                            "b",
                            "k\xE9"
                            "ep",
                            "x\x1Fy"}) {
        value.SetText(bad);
        EXPECT_FALSE(doc.SaveFile(path)) << bad;
        EXPECT_NE(doc.GetLastError().find("unchanged"), std::string::npos) << doc.GetLastError();
        EXPECT_EQ(ReadAll(path), before);
    }
    value.SetText("ok");
    value.SetAttribute("title", "t\x02");
    EXPECT_FALSE(doc.SaveFile(path));
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_FALSE(doc.SaveFile(dir + "/missing/a.xml"));
    EXPECT_FALSE(doc.GetLastError().empty());
    RemoveTree(dir);
}

TEST(XmlText, CDataSplitsItsTerminatorAndEscapeCoversMarkup) {
    EXPECT_EQ(CXmlText::CData("a]]>b"), "<![CDATA[a]]]]><![CDATA[>b]]>");
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadText("<r>" + CXmlText::CData("x]]>y]]>") + "</r>"));
    EXPECT_EQ(doc.Root().GetText(), "x]]>y]]>");
    EXPECT_EQ(CXmlText::Escape("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&apos;");
}

TEST(XmlText, GbkDocumentsStayWellFormedInCommentsToo) {
    std::string gbk = CXmlText::Utf8DocumentToGbk("<r><!-- 注释😀 --><a b=\"😀\">中</a></r>");
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadText("<?xml version=\"1.0\" encoding=\"gbk\"?>" + gbk));
    EXPECT_EQ(doc.SelectNode("/r/a").GetAttribute("b"), "😀");
    EXPECT_EQ(doc.SelectNode("/r/a").GetText(), "中");
}

// What a page announces about itself: every <link> with its address made absolute against the
// page's base, the Link header's links the same way, and no address that is not on the web.
TEST(HtmlLinks, PageAndHeaderLinksResolvedAgainstTheBase) {
    const std::string page =
        "<!DOCTYPE html><html><head><base href=\"/blog/\">"
        "<link rel='EditURI' type=\"application/rsd+xml\" title=\"RSD\" href=\"xmlrpc.php?rsd\">"
        "<LINK REL=\"alternate stylesheet\" href=\"s.css\">"
        "<link rel=\"alternate\" type=\"application/rss+xml\" title=\"Feed &raquo; 全部\" "
        "href=\"https://feeds.example.org/x\">"
        "<link rel=\"EditURI\" href=\"javascript:alert(1)\"><link rel=\"icon\">"
        "</head><body><p>unclosed <div></body>";
    std::vector<HtmlLink> links = CHtmlLinks::FromPage(page, "http://example.org/home/index.html");
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].href, "http://example.org/blog/xmlrpc.php?rsd");
    EXPECT_EQ(links[0].type, "application/rsd+xml");
    EXPECT_EQ(links[0].title, "RSD");
    EXPECT_TRUE(CHtmlLinks::HasRel(links[1], "ALTERNATE"));
    EXPECT_EQ(links[2].title, "Feed » 全部");
    EXPECT_EQ(CHtmlLinks::WithRel(links, "alternate").size(), 2u);
    EXPECT_EQ(CHtmlLinks::WithRel(links, "EditURI").size(), 1u);

    std::vector<HtmlLink> header = CHtmlLinks::FromHeader(
        "<http://example.org/index.php?rest_route=/>; rel=\"https://api.w.org/\", "
        "</feed>; rel=alternate; type=\"application/atom+xml\"; title=\"a, b\", <javascript:x>; "
        "rel=next",
        "http://example.org/home/");
    ASSERT_EQ(header.size(), 2u);
    EXPECT_EQ(header[0].href, "http://example.org/index.php?rest_route=/");
    EXPECT_EQ(header[0].rel, "https://api.w.org/");
    EXPECT_EQ(header[1].href, "http://example.org/feed");
    EXPECT_EQ(header[1].title, "a, b");
    EXPECT_TRUE(CHtmlLinks::FromPage("not html at all \x01\x02", "http://x/").empty());
}
