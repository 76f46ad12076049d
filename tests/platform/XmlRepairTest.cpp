#include "platform/xml/XmlRepair.h"
#include "platform/text/TextCodec.h"
#include "platform/xml/XmlDocument.h"
#include "support/TextSupport.h"

#include <gtest/gtest.h>

namespace {

// The root's text after a lenient load; the strict load of the same bytes must have failed, or
// the case would not test the mending.
std::string LenientText(const std::string& bytes) {
    CXmlDocument strict;
    EXPECT_FALSE(strict.LoadText(bytes)) << bytes;
    CXmlDocument doc;
    EXPECT_TRUE(doc.LoadText(bytes, CXmlDocument::kLenient)) << bytes;
    return doc.Root().GetText();
}

} // namespace

TEST(XmlRepair, LenientLoadMendsWhatRealDocumentsGetWrong) {
    EXPECT_EQ(LenientText("\n\n<?xml version=\"1.0\"?><a>blank line first</a>"),
              "blank line first");
    EXPECT_EQ(LenientText("<a>x&nbsp;&eacute;&euro;&Omega;&zwnj;</a>"),
              "x\u00A0\u00E9\u20AC\u03A9\u200C");
    EXPECT_EQ(LenientText("<a>AT&T &unknown; &#12</a>"), "AT&T &unknown; &#12");
    EXPECT_EQ(LenientText("<a>1 < 2 <= 3</a>"), "1 < 2 <= 3");
    EXPECT_EQ(LenientText("<a>bell\x07 nul-free\x1B</a>"), "bell nul-free");
    EXPECT_EQ(LenientText("<a>&#1;&#x41;&#xD800;&#1114112;&#66;</a>"), "AB");
    EXPECT_EQ(LenientText("<a b=\"1&2\">attribute</a>"), "attribute");
    // Unclosed elements and an open CDATA section at the end.
    EXPECT_EQ(LenientText("<a><b>kept</b><c><![CDATA[open <b>"), "keptopen <b>");
    // Inside CDATA, comments and the internal subset nothing is rewritten.
    CXmlDocument doc;
    ASSERT_TRUE(
        doc.LoadText("<a><![CDATA[&nbsp; & <]]><!-- & --> &nbsp;</a>", CXmlDocument::kLenient));
    EXPECT_EQ(doc.Root().GetText(), "&nbsp; & < \u00A0");
}

TEST(XmlRepair, DecodingWidensTheDeclaredEncoding) {
    // "gb2312" over GBK-only characters, "big5" over CP950, "iso-8859-1" over windows-1252.
    EXPECT_EQ(CXmlRepair::DecodeToUtf8("<?xml version=\"1.0\" encoding=\"gb2312\"?>" +
                                       Encode("<a>朱镕基</a>", "GBK")),
              "<?xml version=\"1.0\" encoding=\"gb2312\"?><a>朱镕基</a>");
    EXPECT_EQ(
        CXmlRepair::DecodeToUtf8("<?xml version='1.0' encoding='ISO-8859-1'?><a>\x80 caf\xE9</a>"),
        "<?xml version='1.0' encoding='ISO-8859-1'?><a>€ café</a>");
    EXPECT_EQ(CXmlRepair::WidenEncoding("Big5"), "CP950");
    EXPECT_EQ(CXmlRepair::WidenEncoding("GBK"), "GB18030");
    EXPECT_EQ(CXmlRepair::WidenEncoding("koi8-r"), "koi8-r");

    // Byte-order marks and the UTF-16 pattern win over a declaration.
    std::string utf16 = Encode("<?xml version=\"1.0\" encoding=\"utf-8\"?><a>中</a>", "UTF-16LE");
    EXPECT_EQ(CXmlRepair::DecodeToUtf8(utf16),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><a>中</a>");
    EXPECT_EQ(CXmlRepair::DecodeToUtf8("\xFE\xFF" + Encode("<a>中</a>", "UTF-16BE")), "<a>中</a>");
    EXPECT_EQ(CXmlRepair::DecodeToUtf8("\xEF\xBB\xBF<a/>"), "<a/>");

    // Nothing declared: valid UTF-8 stays, GBK bytes are recognised, the rest is replaced.
    EXPECT_EQ(CXmlRepair::DecodeToUtf8("<a>中文</a>"), "<a>中文</a>");
    EXPECT_EQ(CXmlRepair::DecodeToUtf8(Encode("<a>中文标题</a>", "GBK")), "<a>中文标题</a>");
    EXPECT_EQ(CXmlRepair::DecodeToUtf8("<a>caf\xE9 ok</a>"), "<a>caf\uFFFD ok</a>");
    EXPECT_EQ(CXmlRepair::DecodeToUtf8("<?xml version=\"1.0\" encoding=\"x-bogus\"?><a>\xFF</a>"),
              "<?xml version=\"1.0\" encoding=\"x-bogus\"?><a>\uFFFD</a>");
}

TEST(XmlRepair, NodeHelpersForReadingDocuments) {
    CXmlDocument doc;
    ASSERT_TRUE(
        doc.LoadText(R"(<feed xmlns="http://www.w3.org/2005/Atom" xml:base="http://a.example/x/">
        <entry xml:base="sub/"><content><div xmlns="http://www.w3.org/1999/xhtml">one <b>two</b></div></content></entry>
        <plain xmlns="">p</plain></feed>)"));
    CXmlNode entry = doc.Root().FirstChild();
    EXPECT_TRUE(entry.HasName("entry"));
    EXPECT_TRUE(entry.InNamespace("http://www.w3.org/2005/Atom"));
    EXPECT_FALSE(entry.InNamespace(""));
    CXmlNode plain = entry.NextSibling();
    EXPECT_TRUE(plain.HasName("plain") && plain.InNamespace(""));

    CXmlNode div = entry.FirstChild().FirstChild();
    EXPECT_EQ(div.GetInnerXml(), "one <b>two</b>");
    EXPECT_EQ(entry.GetBaseUri(), "http://a.example/x/sub/");
    EXPECT_EQ(CXmlDocument::ResolveUri("../p.html", entry.GetBaseUri()),
              "http://a.example/x/p.html");
    EXPECT_EQ(CXmlDocument::ResolveUri("p.html", ""), "p.html");

    CXmlDocument bare;
    ASSERT_TRUE(bare.LoadText("<a><b/></a>"));
    EXPECT_EQ(bare.Root().FirstChild().GetBaseUri(), "");
    bare.SetUrl("http://feeds.example/dir/feed.xml");
    EXPECT_EQ(bare.Root().FirstChild().GetBaseUri(), "http://feeds.example/dir/feed.xml");
}
