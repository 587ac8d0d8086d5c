#include "platform/xml/XsltStylesheet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/TempDir.h"

namespace quorvane::platform::xml {
namespace {

using quorvane::testing::TempDir;

Stylesheet Compile(const std::string& text) {
  auto doc = Document::Parse(text);
  EXPECT_TRUE(doc.ok()) << doc.error().message;
  auto style = Stylesheet::FromDocument(std::move(*doc));
  EXPECT_TRUE(style.ok()) << style.error().message;
  return std::move(*style);
}

constexpr const char* kHeader =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">";

TEST(XsltStylesheet, TransformsWithLiteralStringParameters) {
  Stylesheet style = Compile(std::string(kHeader) +
                             "<xsl:output method=\"text\"/><xsl:param name=\"who\"/>"
                             "<xsl:template match=\"/\"><xsl:value-of select=\"$who\"/>:"
                             "<xsl:for-each select=\"r/i\"><xsl:value-of select=\".\"/>,</xsl:for-each>"
                             "</xsl:template></xsl:stylesheet>");
  auto input = Document::Parse("<r><i>1</i><i>2</i></r>");
  ASSERT_TRUE(input.ok());
  auto text = style.ApplyToString(*input, {{"who", "it's \"me\""}});
  ASSERT_TRUE(text.ok()) << text.error().message;
  EXPECT_EQ(*text, "it's \"me\":1,2,");
}

TEST(XsltStylesheet, ResultIsADocument) {
  Stylesheet style = Compile(std::string(kHeader) +
                             "<xsl:template match=\"/r\"><out><xsl:value-of select=\"count(i)\"/></out>"
                             "</xsl:template></xsl:stylesheet>");
  auto input = Document::Parse("<r><i/><i/><i/></r>");
  ASSERT_TRUE(input.ok());
  auto output = style.Apply(*input);
  ASSERT_TRUE(output.ok()) << output.error().message;
  EXPECT_EQ(output->Root().Name(), "out");
  EXPECT_EQ(output->Root().Text(), "3");
}

TEST(XsltStylesheet, ForbidsReadingOtherDocumentsAndWritingFiles) {
  TempDir dir;
  std::ofstream(dir.File("other.xml")) << "<secret>S</secret>";
  auto input = Document::Parse("<r/>");
  ASSERT_TRUE(input.ok());

  Stylesheet reader = Compile(std::string(kHeader) + "<xsl:template match=\"/\"><o><xsl:value-of select=\"document('" +
                              dir.File("other.xml") + "')\"/></o></xsl:template></xsl:stylesheet>");
  ::testing::internal::CaptureStderr();
  auto read = reader.ApplyToString(*input);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ASSERT_FALSE(read.ok()) << *read;
  EXPECT_NE(read.error().message.find("refused"), std::string::npos) << read.error().message;

  const std::string target = dir.File("written.txt");
  Stylesheet writer = Compile(
      "<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
      "<xsl:template match=\"/\"><xsl:document href=\"" +
      target + "\" method=\"text\">x</xsl:document><o/></xsl:template></xsl:stylesheet>");
  auto written = writer.Apply(*input);
  EXPECT_FALSE(written.ok());
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST(XsltStylesheet, InvalidStylesheetsAndRuntimeErrorsAreValues) {
  auto notXslt = Document::Parse("<plain/>");
  ASSERT_TRUE(notXslt.ok());
  ::testing::internal::CaptureStderr();
  auto style = Stylesheet::FromDocument(std::move(*notXslt));
  EXPECT_FALSE(style.ok());

  auto badXPath = Document::Parse(std::string(kHeader) +
                                  "<xsl:template match=\"/\"><xsl:value-of select=\"((\"/></xsl:template>"
                                  "</xsl:stylesheet>");
  ASSERT_TRUE(badXPath.ok());
  auto broken = Stylesheet::FromDocument(std::move(*badXPath));
  EXPECT_FALSE(broken.ok());

  Stylesheet terminating = Compile(std::string(kHeader) +
                                   "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">stop here</xsl:message>"
                                   "</xsl:template></xsl:stylesheet>");
  auto input = Document::Parse("<r/>");
  ASSERT_TRUE(input.ok());
  auto result = terminating.Apply(*input);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ASSERT_FALSE(result.ok());
  EXPECT_NE(result.error().message.find("stop here"), std::string::npos) << result.error().message;

  ::testing::internal::CaptureStderr();
  Stylesheet talking = Compile(std::string(kHeader) +
                               "<xsl:template match=\"/\"><xsl:message>just saying</xsl:message><o/>"
                               "</xsl:template></xsl:stylesheet>");
  EXPECT_TRUE(talking.Apply(*input).ok());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  TempDir dir;
  EXPECT_FALSE(Stylesheet::LoadFile(dir.File("missing.xsl")).ok());
}

}  // namespace
}  // namespace quorvane::platform::xml
