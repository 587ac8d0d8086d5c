#include "platform/xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/TempDir.h"

namespace quorvane::platform::xml {
namespace {

using quorvane::testing::TempDir;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

TEST(XmlDocument, NavigatesElementsAttributesAndText) {
  auto doc = Document::Parse(
      "<?xml version=\"1.0\"?>\n<root>\n  <item id=\"a\">one</item>\n  <!-- note -->\n"
      "  <group><item id=\"b\">t<![CDATA[w<o]]>&amp;</item><other/></group>\n  <item>three</item>\n</root>");
  ASSERT_TRUE(doc.ok()) << doc.error().message;
  Node root = doc->Root();
  EXPECT_EQ(root.Name(), "root");
  EXPECT_EQ(root.Children().size(), 3u);
  std::vector<Node> items = root.Children("item");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].Attribute("id"), "a");
  EXPECT_FALSE(items[1].Attribute("id").has_value());
  EXPECT_EQ(items[1].Text(), "three");
  EXPECT_EQ(root.Select("group/item").Text(), "tw<o&");
  EXPECT_EQ(root.Select("group/item").Parent().Name(), "group");
  EXPECT_EQ(root.SelectAll("*/item").size(), 1u);
  EXPECT_EQ(root.Select("/group//other/").Name(), "other");
  EXPECT_TRUE(root.Select("group/missing").IsNull());
  EXPECT_TRUE(root.Select("nothing/item").IsNull());

  Node none;
  EXPECT_EQ(none.Text(), "");
  EXPECT_TRUE(none.Child("x").IsNull());
  EXPECT_TRUE(none.AppendElement("x").IsNull());
}

TEST(XmlDocument, MalformedInputGivesTheParserMessageAndPrintsNothing) {
  struct Case {
    const char* name;
    std::string bytes;
    const char* expected;
  };
  const Case cases[] = {
      {"mismatched tag", "<a>\n<b></a>", "line 2"},
      {"empty", "", ""},
      {"text only", "just text", ""},
      {"two roots", "<a/><b/>", "Extra content"},
      {"bare ampersand", "<a>Tom & Jerry</a>", "line 1"},
      {"truncated", "<a><b>", ""},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    auto doc = Document::Parse(c.bytes);
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(doc.ok()) << c.name;
    if (!doc.ok()) {
      EXPECT_FALSE(doc.error().message.empty()) << c.name;
      EXPECT_NE(doc.error().message.find(c.expected), std::string::npos) << c.name << ": " << doc.error().message;
    }
    EXPECT_EQ(stderrText, "") << c.name;
  }
}

TEST(XmlDocument, RefusesEntityDeclarationsAndNeverReadsOtherFiles) {
  TempDir dir;
  WriteFile(dir.File("secret.txt"), "SECRET");
  WriteFile(dir.File("defaults.dtd"), "<!ATTLIST a extra CDATA \"from-dtd\">");
  const std::string laughs =
      "<!DOCTYPE a [<!ENTITY l0 \"ha\"><!ENTITY l1 \"&l0;&l0;&l0;&l0;&l0;&l0;&l0;&l0;\">]><a>&l1;</a>";
  const std::string external = "<!DOCTYPE a [<!ENTITY x SYSTEM \"file://" + dir.File("secret.txt") + "\">]><a>&x;</a>";
  const std::string parameter =
      "<!DOCTYPE a [<!ENTITY % p SYSTEM \"file://" + dir.File("secret.txt") + "\"> %p;]><a/>";
  for (const std::string& bytes : {laughs, external, parameter}) {
    auto doc = Document::Parse(bytes);
    ASSERT_FALSE(doc.ok()) << bytes;
    EXPECT_NE(doc.error().message.find("entity declarations are not accepted"), std::string::npos)
        << doc.error().message;
  }

  // A DOCTYPE that names an external DTD is accepted, but the DTD is not read.
  auto doc = Document::Parse("<!DOCTYPE a SYSTEM \"" + dir.File("defaults.dtd") + "\"><a/>");
  ASSERT_TRUE(doc.ok()) << doc.error().message;
  EXPECT_FALSE(doc->Root().Attribute("extra").has_value());
}

TEST(XmlDocument, SizeCapAppliesToMemoryAndFiles) {
  TempDir dir;
  const std::string big = "<a>" + std::string(2000, 'x') + "</a>";
  WriteFile(dir.File("big.xml"), big);
  ParseOptions options;
  options.maxBytes = 1000;
  EXPECT_FALSE(Document::Parse(big, options).ok());
  auto fromFile = Document::ParseFile(dir.File("big.xml"), options);
  ASSERT_FALSE(fromFile.ok());
  EXPECT_NE(fromFile.error().message.find("larger than 1000"), std::string::npos);
  EXPECT_TRUE(Document::ParseFile(dir.File("big.xml")).ok());

  auto missing = Document::ParseFile(dir.File("missing.xml"));
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.error().message.find("missing.xml"), std::string::npos);
  EXPECT_FALSE(Document::ParseFile(dir.path()).ok());
}

TEST(XmlDocument, RecoversBareAmpersandsOnlyWhenAsked) {
  ParseOptions options;
  options.recoverBareAmpersand = true;
  auto doc = Document::Parse("<a t=\"R&D\">Tom & Jerry &amp; &#65;&#x42; &lt;x&gt; &&</a>", options);
  ASSERT_TRUE(doc.ok()) << doc.error().message;
  EXPECT_EQ(doc->Root().Text(), "Tom & Jerry & AB <x> &&");
  EXPECT_EQ(doc->Root().Attribute("t"), "R&D");

  auto literal = Document::Parse("<?xml version=\"1.0\"?><a><!-- x & y --><![CDATA[a & b]]> & c</a>", options);
  ASSERT_TRUE(literal.ok()) << literal.error().message;
  EXPECT_EQ(literal->Root().Text(), "a & b & c");
  EXPECT_FALSE(Document::Parse("<a>Tom & Jerry</a>").ok());
}

TEST(XmlDocument, SavesWithExactFormat) {
  Document doc;
  Node root = doc.CreateRoot("schedules");
  Node schedule = root.AppendElement("schedule");
  ASSERT_TRUE(schedule.SetAttribute("id", "A \"1\" <&>"));
  schedule.AppendElement("description", "caf\xC3\xA9 <b> & \"q\"");
  schedule.AppendElement("MinorCh");
  Node inner = schedule.AppendElement("datetime");
  inner.AppendElement("year", "2026");

  auto tabbed = doc.Serialize();
  ASSERT_TRUE(tabbed.ok()) << tabbed.error().message;
  EXPECT_EQ(*tabbed,
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<schedules>\n"
            "\t<schedule id=\"A &quot;1&quot; &lt;&amp;&gt;\">\n"
            "\t\t<description>caf\xC3\xA9 &lt;b&gt; &amp; \"q\"</description>\n"
            "\t\t<MinorCh/>\n"
            "\t\t<datetime>\n"
            "\t\t\t<year>2026</year>\n"
            "\t\t</datetime>\n"
            "\t</schedule>\n"
            "</schedules>\n");

  SaveFormat compact;
  compact.indent = false;
  compact.declaration = false;
  compact.selfCloseEmpty = false;
  auto flat = doc.Serialize(compact);
  ASSERT_TRUE(flat.ok());
  EXPECT_EQ(*flat,
            "<schedules><schedule id=\"A &quot;1&quot; &lt;&amp;&gt;\"><description>caf\xC3\xA9 &lt;b&gt; &amp; "
            "\"q\"</description><MinorCh></MinorCh><datetime><year>2026</year></datetime></schedule></schedules>\n");

  SaveFormat spaces;
  spaces.indentUnit = "  ";
  spaces.encoding = "UTF-8";
  auto spaced = doc.Serialize(spaces);
  ASSERT_TRUE(spaced.ok());
  EXPECT_EQ(spaced->rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<schedules>", 0), 0u);
  EXPECT_NE(spaced->find("\n      <year>2026</year>\n"), std::string::npos);

  SaveFormat unknown;
  unknown.encoding = "no-such-encoding";
  EXPECT_FALSE(doc.Serialize(unknown).ok());
}

TEST(XmlDocument, SavesUtf16WithByteOrderMarkAndReadsItBack) {
  Document doc;
  doc.CreateRoot("BoxInfo").AppendElement("Brand", "\xE6\x9D\xB1\xE8\x8A\x9D");  // two CJK characters
  SaveFormat format;
  format.encoding = "UTF-16";
  auto bytes = doc.Serialize(format);
  ASSERT_TRUE(bytes.ok()) << bytes.error().message;
  ASSERT_GE(bytes->size(), 4u);
  EXPECT_EQ(bytes->substr(0, 4), std::string("\xFF\xFE<\0", 4));
  auto back = Document::Parse(*bytes);
  ASSERT_TRUE(back.ok()) << back.error().message;
  EXPECT_EQ(back->Root().Child("Brand").Text(), "\xE6\x9D\xB1\xE8\x8A\x9D");
}

TEST(XmlDocument, TextThatXmlCannotCarryIsReplacedSoTheFileStillParses) {
  Document doc;
  Node root = doc.CreateRoot("a");
  root.AppendElement("b", std::string("x\x01y\xFFz\tline\r\nend", 15));
  root.SetAttribute("v", std::string("q\x02", 2));
  EXPECT_FALSE(root.SetAttribute("bad name", "x"));
  EXPECT_TRUE(root.AppendElement("1bad").IsNull());
  auto bytes = doc.Serialize();
  ASSERT_TRUE(bytes.ok());
  auto back = Document::Parse(*bytes);
  ASSERT_TRUE(back.ok()) << back.error().message;
  EXPECT_EQ(back->Root().Child("b").Text(), "x\xEF\xBF\xBDy\xEF\xBF\xBDz\tline\r\nend");
  EXPECT_EQ(back->Root().Attribute("v"), "q\xEF\xBF\xBD");
}

TEST(XmlDocument, EditsReplaceTextRemoveNodesAndAttributes) {
  auto doc = Document::Parse("<a x=\"1\"><b>old<c/></b><d/></a>");
  ASSERT_TRUE(doc.ok());
  Node root = doc->Root();
  root.Child("b").SetText("new");
  root.RemoveAttribute("x");
  Node d = root.Child("d");
  d.Remove();
  EXPECT_TRUE(d.IsNull());
  SaveFormat format;
  format.declaration = false;
  format.indent = false;
  EXPECT_EQ(doc->Serialize(format).value(), "<a><b>new</b></a>\n");
  doc->CreateRoot("z");
  EXPECT_EQ(doc->Serialize(format).value(), "<z/>\n");
}

TEST(XmlDocument, SaveToFileWritesCompletelyAndReportsFailure) {
  TempDir dir;
  Document doc;
  doc.CreateRoot("a").AppendElement("b", "1");
  ASSERT_TRUE(doc.SaveToFile(dir.File("out.xml")).ok());
  EXPECT_EQ(ReadFile(dir.File("out.xml")), doc.Serialize().value());
  Status failed = doc.SaveToFile(dir.File("no/such/folder/out.xml"));
  ASSERT_FALSE(failed.ok());
  EXPECT_NE(failed.error().message.find("no/such/folder"), std::string::npos);
}

TEST(XmlDocument, ErrorsStayWithTheThreadThatCausedThem) {
  std::vector<std::thread> threads;
  std::vector<std::string> messages(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &messages] {
      for (int i = 0; i < 50; ++i) {
        const std::string bytes = "<t" + std::to_string(t) + "></x>";
        auto doc = Document::Parse(bytes);
        if (doc.ok()) return;
        messages[t] = doc.error().message;
        if (messages[t].find("t" + std::to_string(t)) == std::string::npos) return;
        ASSERT_TRUE(Document::Parse("<ok/>").ok());
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) {
    EXPECT_NE(messages[t].find("t" + std::to_string(t)), std::string::npos) << messages[t];
  }
}

}  // namespace
}  // namespace quorvane::platform::xml
