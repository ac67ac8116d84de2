#include "MarkupTestUtil.h"

#include <zep3/zep3.h>

#include <gtest/gtest.h>

#include <string>
#include <sys/mman.h>
#include <unistd.h>

using markuptest::Dump;

TEST(CMarkup, ReadsElementsDataAndAttributes) {
    CMarkup xml;
    ASSERT_TRUE(xml.SetDoc("<a><b>x &amp; y</b><c/></a>"));
    ASSERT_TRUE(xml.FindChildElem());
    EXPECT_EQ(xml.GetData(), ""); // has children
    EXPECT_EQ(xml.GetChildData(), "x & y");
    ASSERT_TRUE(xml.FindChildElem());
    EXPECT_FALSE(xml.FindChildElem());
    EXPECT_EQ(xml.GetChildTagName(), "c"); // a failed find moves nothing
    EXPECT_FALSE(xml.FindElem());         // one root

    // Entities decode only when complete; CDATA comes back raw after leading white space.
    ASSERT_TRUE(xml.SetDoc("<r><d>&lt;&amp;&gt;&apos;&quot; &foo; &lt &amp</d><e> \r\n<![CDATA[1<2&amp;]]></e>"
                           "<g>x<![CDATA[y]]></g></r>"));
    const char* expected[][2] = {{"d", "<&>'\" &foo; &lt &amp"}, {"e", "1<2&amp;"}, {"g", "x<![CDATA[y]]>"}};
    for (auto& [name, data] : expected) {
        ASSERT_TRUE(xml.FindChildElem(name)) << name;
        EXPECT_EQ(xml.GetChildData(), data) << name;
    }

    // Unquoted values are no values; names are listed as written.
    ASSERT_TRUE(xml.SetDoc("<a  x = \"1\" y='&lt;2&gt;' z=3 w v=\"5\"/>"));
    EXPECT_EQ(Dump(xml), "0|a|x=1|y=<2>|z=|w=|v=5|\n");
    xml.FindElem();
    EXPECT_EQ(xml.GetAttrib("x[1]"), "1"); // name rule: begins with x, then '['
    EXPECT_EQ(xml.GetAttribName(5), "");
}

TEST(CMarkup, SkipsPrologCommentsAndDocumentType) {
    CMarkup xml("<?xml version=\"1.0\"?>\r\n<!-- a <b> comment -->\n"
                "<!DOCTYPE a [ <!ELEMENT a ANY> <!ATTLIST a x CDATA \"]>\"> ]>\n"
                "<a><!-- <x/> --><?pi <y/> ?><![CDATA[<z/>]]><b/></a><junk");
    ASSERT_TRUE(xml.IsWellFormed());
    EXPECT_EQ(Dump(xml), "0|a|\n1|b|\n");
    EXPECT_TRUE(xml.SetDoc("<!DOCTYPE a[<!ENTITY e \"[\">]><a/>"));
}

TEST(CMarkup, ParseErrorsKeepTheTextAndFindNothing) {
    struct Case {
        const char* doc;
        const char* error;
    } cases[] = {
        {"<a><b></a>", "End tag does not correspond to b"},
        {"<a>", "End tag of a element not found"},
        {"<!-- only a comment -->", "Element tag not found"},
        {"<a><  ", "Abrupt end within tag"},
        {"<\"a\">", "Tag starts with quote"},
        {"<a x=\"1\"", "End of tag not found"},
        {"<!DOCTYPE a [ > <a/>", "Invalid node"},
        {"<a></a x=\">\"", "End tag not completed for element a"},
    };
    for (const Case& c : cases) {
        CMarkup xml;
        EXPECT_FALSE(xml.SetDoc(c.doc)) << c.doc;
        EXPECT_EQ(xml.GetError(), c.error) << c.doc;
        EXPECT_EQ(xml.GetDoc(), c.doc);
        EXPECT_FALSE(xml.FindElem() || xml.FindChildElem() || xml.IntoElem());
    }

    // A good parse and an empty text leave the last message; an end tag at the top is no root.
    CMarkup xml("<a>");
    EXPECT_TRUE(xml.SetDoc("<a/>"));
    EXPECT_FALSE(xml.SetDoc(""));
    EXPECT_FALSE(xml.SetDoc(nullptr));
    EXPECT_FALSE(xml.SetDoc("</a>"));
    EXPECT_EQ(xml.GetError(), "End tag of a element not found");
}

// Every cut of a document fails with one of the messages (and the scanners
// stay inside the text, which the sanitizer builds check); the whole parses.
TEST(CMarkup, TruncatedAndUnbalancedDocuments) {
    const std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ELEMENT r ANY>]><r a=\"1\" b='x>y'>"
                            "<s><![CDATA[c]]></s><!-- c --><t u=\"v\"/>text &amp; more<w></w ></r >";
    const std::string messages = "|Element tag not found|Tag starts with quote|End of tag not found|Invalid node|"
                                 "Abrupt end within tag|End tag of r element not found|End tag of s element not found|"
                                 "End tag of w element not found|End tag not completed for element s|"
                                 "End tag not completed for element w|End tag not completed for element r|"
                                 "End tag does not correspond to r|End tag does not correspond to s|"
                                 "End tag does not correspond to w|";
    CMarkup xml;
    for (size_t n = 1; n < doc.size(); ++n) {
        EXPECT_FALSE(xml.SetDoc(doc.substr(0, n).c_str())) << n;
        EXPECT_NE(messages.find("|" + xml.GetError().str() + "|"), std::string::npos) << n << ": " << xml.GetError();
    }
    ASSERT_TRUE(xml.SetDoc(doc.c_str()));
    // The start tag ends at its first '>', inside b's quotes: b has no closed value.
    EXPECT_EQ(Dump(xml), "0|r|a=1|b=|\n1|s|c\n1|t|u=v|\n1|w|\n");

    // Each tag taken out leaves an unbalanced document.
    for (const char* cut : {"<s>", "</s>", "<w>", "</w >"}) {
        std::string broken = doc;
        broken.erase(broken.find(cut), std::string(cut).size());
        EXPECT_FALSE(xml.SetDoc(broken.c_str())) << cut;
        EXPECT_NE(messages.find("|" + xml.GetError().str() + "|"), std::string::npos) << cut;
    }
}

TEST(CMarkup, AddsElementsWhereTheRulesSay) {
    CMarkup xml;
    ASSERT_TRUE(xml.AddElem("root"));
    EXPECT_FALSE(xml.AddElem("second"));
    for (const char* bad : {"", "a b", "a>", "a/", "\"a", "a=b", "a?", "x\\y"}) EXPECT_FALSE(xml.AddChildElem(bad)) << bad;
    EXPECT_TRUE(xml.AddChildElem("a[1]")); // a name need only read back as one token

    ASSERT_TRUE(xml.SetDoc("<p x=\"1\" ></p>"));
    xml.FindElem();
    ASSERT_TRUE(xml.AddChildElem("c", "v"));
    EXPECT_EQ(xml.GetDoc(), "<p x=\"1\" >\r\n<c>v</c>\r\n</p>");

    // After a reference: white space is stepped over up to the next tag, not into text.
    ASSERT_TRUE(xml.SetDoc("<r>\r\n  <a/>\r\n  <b/>\r\n</r>"));
    xml.FindChildElem("a");
    ASSERT_TRUE(xml.AddChildElem("n"));
    EXPECT_EQ(xml.GetDoc(), "<r>\r\n  <a/>\r\n  <n/>\r\n<b/>\r\n</r>");
    ASSERT_TRUE(xml.SetDoc("<r><a/> text <b/></r>"));
    xml.FindChildElem("a");
    ASSERT_TRUE(xml.AddChildElem("n"));
    EXPECT_EQ(xml.GetDoc(), "<r><a/><n/>\r\n text <b/></r>");

    // A document that failed to parse takes a root after its text.
    ASSERT_FALSE(xml.SetDoc("<?xml version=\"1.0\"?>\r\n"));
    ASSERT_TRUE(xml.AddElem("root", "d"));
    EXPECT_EQ(xml.GetDoc(), "<?xml version=\"1.0\"?>\r\n<root>d</root>\r\n");
}

TEST(CMarkup, SetsAttributesInPlace) {
    CMarkup xml("<r><a x=\"old\" y='2'>text<k/></a><b/></r>");
    xml.FindElem();
    xml.FindChildElem("a");
    ASSERT_TRUE(xml.SetChildAttrib("x", "new"));
    ASSERT_TRUE(xml.SetChildAttrib("y", nullptr));
    // Empty elements take the attribute before their '/'.
    xml.FindChildElem("b");
    ASSERT_TRUE(xml.SetChildAttrib("q", "1"));
    EXPECT_EQ(xml.GetDoc(), "<r><a x=\"new\" y=''>text<k/></a><b q=\"1\"/></r>");

    // An attribute without a quoted value is passed over: the set one is found.
    ASSERT_TRUE(xml.SetDoc("<a x=1/>"));
    xml.FindElem();
    ASSERT_TRUE(xml.SetAttrib("x", "2"));
    EXPECT_EQ(xml.GetDoc(), "<a x=1 x=\"2\"/>");
}

TEST(CMarkup, FormatXmlReindentsElementsOnly) {
    CMarkup xml("<?xml version=\"1.0\"?><!-- c --><r q='&lt;'>root data<a><b>t</b><c/></a></r>");
    EXPECT_EQ(xml.FormatXML(), "<r q=\"&lt;\">\r\n  <a>\r\n    <b>t</b>\r\n    <c>\r\n    </c>\r\n  </a>\r\n</r>\r\n");
    EXPECT_EQ(xml.GetTagName(), "r"); // the walk ends on the root with its last child
    EXPECT_EQ(xml.GetChildTagName(), "a");
    EXPECT_EQ(CMarkup("x").FormatXML(), "");
}

TEST(CMarkup, CopiesAreIndependentAndKeepTheirOwnError) {
    CMarkup broken("<a>");
    CMarkup xml("<r><a/></r>");
    xml.FindChildElem("a");
    CMarkup copy(xml);
    ASSERT_TRUE(copy.AddChildElem("b"));
    EXPECT_EQ(xml.GetDoc(), "<r><a/></r>");
    broken = copy;
    EXPECT_EQ(broken.GetError(), "End tag of a element not found");
    EXPECT_EQ(broken.GetChildTagName(), "b");
    broken = broken;
    EXPECT_EQ(Dump(broken), "0|r|\n1|a|\n1|b|\n");
}

// Nesting costs no stack: a deep document parses, edits and fails like a flat one.
TEST(CMarkup, DeepAndCrowdedDocuments) {
    const int depth = 200000;
    std::string doc;
    for (int i = 0; i < depth; ++i) doc += "<e>";
    const std::string open = doc;
    for (int i = 0; i < depth; ++i) doc += "</e>";
    CMarkup xml;
    ASSERT_TRUE(xml.SetDoc(doc.c_str()));
    for (int i = 0; i < depth - 2; ++i) ASSERT_TRUE(xml.FindChildElem() && xml.IntoElem());
    ASSERT_TRUE(xml.FindChildElem());
    ASSERT_TRUE(xml.SetChildAttrib("k", "v"));
    ASSERT_TRUE(xml.AddElem("s"));
    EXPECT_EQ(xml.GetDoc().Find("<e k=\"v\"></e></e><s/>\r\n</e>"), 3 * (depth - 1));
    ASSERT_TRUE(xml.SetDoc(xml.GetDoc()));
    EXPECT_FALSE(xml.SetDoc(open.c_str()));
    EXPECT_EQ(xml.GetError(), "End tag of e element not found");

    // Far more elements than the first estimate of the record count.
    std::string crowded = "<r>";
    for (int i = 0; i < 100000; ++i) crowded += "<a/>";
    ASSERT_TRUE(xml.SetDoc((crowded + "</r>").c_str()));
    int count = 0;
    while (xml.FindChildElem("a")) ++count;
    EXPECT_EQ(count, 100000);
}

// A text beyond 2 GiB is refused before it is copied. The text is one
// 1 MiB block of 'x' mapped over and over, so it costs no memory.
TEST(CMarkup, RefusesOversizeText) {
#ifdef __SANITIZE_THREAD__
    GTEST_SKIP() << "ThreadSanitizer would track every byte of the 2 GiB strlen; no threads are involved here";
#endif
    const size_t chunk = 1 << 20, count = (size_t(1) << 31) / chunk + 1;
    const int fill = memfd_create("markup-x", 0), tail = memfd_create("markup-end", 0);
    ASSERT_TRUE(fill >= 0 && tail >= 0);
    ASSERT_EQ(ftruncate(fill, chunk), 0);
    ASSERT_EQ(ftruncate(tail, chunk), 0);
    std::string xs(chunk, 'x');
    ASSERT_EQ(pwrite(fill, xs.data(), chunk, 0), ssize_t(chunk));
    ASSERT_EQ(pwrite(tail, xs.data(), chunk - 1, 0), ssize_t(chunk - 1)); // ends in a zero
    char* base = static_cast<char*>(mmap(nullptr, chunk * count, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(base, MAP_FAILED);
    for (size_t i = 0; i < count; ++i)
        ASSERT_NE(mmap(base + i * chunk, chunk, PROT_READ, MAP_SHARED | MAP_FIXED | MAP_POPULATE,
                       i + 1 < count ? fill : tail, 0),
                  MAP_FAILED);
    CMarkup xml("<a/>");
    EXPECT_FALSE(xml.SetDoc(base));
    EXPECT_EQ(xml.GetError(), "Document too large");
    EXPECT_EQ(xml.GetDoc(), "");
    EXPECT_TRUE(xml.AddElem("root"));
    munmap(base, chunk * count);
    close(fill);
    close(tail);
}

// In a double-byte code page a character is stepped whole: 0x95 0x5C is one
// Shift-JIS character although its second byte is '\'.
TEST(CMarkup, DoubleByteCharactersAreSteppedWhole) {
    const char* doc = "<r\x95\\ a\x95\\=\"1\"><![CDATA[\x95]]>]]></r\x95\\>";
    ASSERT_TRUE(SetACP(932));
    CMarkup xml(doc);
    ASSERT_TRUE(SetACP(1250));
    ASSERT_TRUE(xml.FindElem("r\x95\\"));
    EXPECT_EQ(xml.GetAttribName(0), "a\x95\\");
    EXPECT_EQ(xml.GetAttrib("a\x95\\"), "1");
    EXPECT_EQ(xml.GetData(), "\x95]]>"); // 0x95 0x5D is one character, so the first "]]>" is not one
    EXPECT_TRUE(xml.AddChildElem("c\x95\\"));
    EXPECT_EQ(xml.GetChildTagName(), "c\x95\\");
    // A lead byte before a byte below 0x40 is no character of two: the '/' stays markup.
    EXPECT_TRUE(xml.AddChildElem("d\x95"));
    EXPECT_EQ(xml.GetDoc().Right(13), "<d\x95/>\r\n</r\x95\\>");
    ASSERT_TRUE(SetACP(932));
    EXPECT_TRUE(xml.SetDoc(xml.GetDoc()));
    ASSERT_TRUE(SetACP(1250));
    EXPECT_TRUE(xml.FindChildElem("d\x95"));

    CMarkup bytewise(doc); // '\' ends the name, and the first "]]>" the section
    bytewise.FindElem();
    EXPECT_EQ(bytewise.GetTagName(), "r\x95");
    EXPECT_EQ(bytewise.GetData(), "\x95");
}
