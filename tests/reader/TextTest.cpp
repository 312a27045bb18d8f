// The recognised-text tag: its layout, its terminator and its two encodings.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/reader/Documents.h"

using docwriter::Codec;
using docwriter::Header;
using docwriter::PageSpec;
using docwriter::RawTag;
using readertest::openBytes;
using readertest::patternPage;

namespace {

std::vector<uint8_t> tagWithLength(uint32_t length, const std::string& body) {
  std::vector<uint8_t> tag(6 + body.size());
  tag[0] = 1;
  for (int i = 0; i < 4; ++i) tag[2 + i] = uint8_t(length >> (8 * i));
  std::copy(body.begin(), body.end(), tag.begin() + 6);
  return tag;
}

struct TextRow {
  const char* name;
  std::vector<uint8_t> tag;
  std::u16string expected;
};

std::vector<TextRow> textRows() {
  using docwriter::textTagBytes;
  const std::string nul(1, '\0');
  return {
      {"ASCII phrases", textTagBytes("Invoice 42 \nTotal due"), u"Invoice 42 \nTotal due"},
      {"UTF-8 Cyrillic",
       textTagBytes("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80"),
       u"\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440"},
      {"UTF-8 beyond the basic plane", textTagBytes("\xF0\x9F\x98\x80"), u"\U0001F600"},
      {"Windows-1252", textTagBytes("caf\xE9 \x80 \x93quoted\x94 \x9F"),
       u"caf\u00E9 \u20AC \u201Cquoted\u201D \u0178"},
      {"Windows-1252 unassigned bytes", textTagBytes("a\x81z"), u"a\u0081z"},
      {"invalid UTF-8 is Windows-1252", textTagBytes("\xC3\x28"), u"\u00C3("},
      {"overlong UTF-8 is Windows-1252", textTagBytes("\xC0\xAF"), u"\u00C0\u00AF"},
      {"embedded NUL kept", textTagBytes("ab" + nul + "cd"), std::u16string(u"ab\0cd", 5)},
      {"carriage return inside kept", textTagBytes("a\rb"), u"a\rb"},
      {"no terminator", textTagBytes("plain", false), u"plain"},
      {"NUL without carriage return", tagWithLength(4, "abc" + nul), u"abc"},
      {"only the terminator", textTagBytes(""), u""},
      {"length past the tag", tagWithLength(100, "Hello"), u"Hello"},
      {"length shorter than the bytes", tagWithLength(3, "Hello\r" + nul), u"Hel"},
      {"tag too short", {1, 0, 5, 0}, u""},
  };
}

TEST(Text, DecodesTheTag) {
  for (const TextRow& row : textRows()) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.expected, mdi::decodeTextTag(row.tag.data(), row.tag.size()));
  }
}

TEST(Text, RefusesATagOfAnotherLayout) {
  std::vector<uint8_t> tag = tagWithLength(5, "Hello");
  tag[0] = 2;
  EXPECT_EQ(u"", mdi::decodeTextTag(tag.data(), tag.size()));
  tag[0] = 1;
  tag[1] = 1;
  EXPECT_EQ(u"", mdi::decodeTextTag(tag.data(), tag.size()));
}

// The same rows through whole documents of both byte orders: the tag's bytes are never
// swapped.
TEST(Text, ReadsEachPagesTextFromTheDocument) {
  for (Header header : {Header::EP, Header::MM}) {
    std::vector<PageSpec> pages;
    for (const TextRow& row : textRows()) {
      PageSpec page = patternPage(16, 8, 1, Codec::G4);
      page.textTag = row.tag;
      pages.push_back(page);
    }
    pages.push_back(patternPage(16, 8, 1, Codec::G4));  // no tag at all
    PageSpec wrongType = patternPage(16, 8, 1, Codec::G4);
    wrongType.extraTags.push_back(RawTag::shorts(37679, {1, 5, 0, 'a', 'b'}));
    pages.push_back(wrongType);

    mdi::Document doc = openBytes(docwriter::write(pages, header).bytes);
    std::vector<TextRow> rows = textRows();
    ASSERT_EQ(rows.size() + 2, doc.pageCount());
    for (size_t i = 0; i < rows.size(); ++i) {
      SCOPED_TRACE(rows[i].name);
      EXPECT_TRUE(doc.page(i).hasText());
      EXPECT_EQ(rows[i].expected, doc.pageText(i));
    }
    EXPECT_FALSE(doc.page(rows.size()).hasText());
    EXPECT_EQ(u"", doc.pageText(rows.size()));
    EXPECT_FALSE(doc.page(rows.size() + 1).hasText());
    EXPECT_EQ(u"", doc.pageText(rows.size() + 1));
  }
}

}  // namespace
