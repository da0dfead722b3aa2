// xml_reader_test.cpp: the streaming XML reader, its text buffer, lookups and text conversion.
//   XmlText.*:           growth steps, clearing gives memory back, the capacity limit
//   XmlReaderQuirks.*:   lenient reading of small documents, event by event
//   XmlReaderCodes.*:    the result code of each kind of malformed or truncated document
//   XmlReaderEntities.*: entities decided by their first letters, numeric references, the
//                        document's own entities and their bounds
//   XmlReaderLimits.*:   element and attribute stacks, the 16 MiB text limit
//   XmlReaderInput.*:    reading a file descriptor across blocks; throwing callbacks
//   XmlReaderEncodings.*: UTF-16 and declared 8-bit encodings decoded to UTF-8; line ends;
//                        bytes that are no UTF-8 found with their place
//   XmlAccessors.*:      numbers of texts and attributes (short decimals as all others), open
//                        elements
//   XmlLookup.*:         binary search of sorted tables
//   XmlConversion.*:     UTF-8 to Mac OS Roman with its replacements, and back
#include "ImportExport/xml_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

#include "Editor/text_numbers.h"

namespace {

// Each start becomes <name a="v"...>text and each end </name>.
int log_start(const char* name, XmlElement& e, void* user) {
  std::string& log = *static_cast<std::string*>(user);
  log += std::string("<") + name;
  for (int i = 0; i < e.attribute_count; ++i)
    log += std::string(" ") + xml_element_text(e.attribute_names[i]) + "=\"" +
           xml_element_text(e.attribute_values[i]) + "\"";
  log += std::string(">") + xml_element_text(e.text);
  return 0;
}

int log_end(const char* name, void* user) {
  *static_cast<std::string*>(user) += std::string("</") + name + ">";
  return 0;
}

struct Result {
  int32_t code;
  std::string log;
};

Result read(std::string_view document, int32_t stack = 16, int32_t attributes = 16) {
  Result r;
  r.code = xml_read_memory(document.data(), document.size(), log_start, log_end, &r.log, stack,
                           attributes, 16);
  return r;
}

TEST(XmlText, GrowsByDoublingAndGivesMemoryBackWhenCleared) {
  XmlText t;
  xml_text_init(t);
  EXPECT_STREQ(xml_element_text(t), "");
  for (int i = 0; i < 16; ++i) ASSERT_TRUE(xml_text_append_char(t, 'x'));
  EXPECT_EQ(t.capacity, 32u);  // 16 at the first byte, doubled at the 16th
  EXPECT_EQ(t.length, 17u);
  EXPECT_EQ(std::string(xml_element_text(t)), std::string(16, 'x'));
  ASSERT_TRUE(xml_text_append_cstring(t, "0123456789abcdef"));
  EXPECT_EQ(t.capacity, 66u);  // 2 * (17 + 16)
  xml_text_clear(t);
  EXPECT_EQ(t.capacity, 0u);
  ASSERT_TRUE(xml_text_append_char(t, 'y'));
  xml_text_clear(t);
  EXPECT_EQ(t.capacity, 16u);  // within its step: kept, emptied
  EXPECT_STREQ(xml_element_text(t), "");
  ASSERT_TRUE(xml_text_append_cstring(t, nullptr));
  EXPECT_EQ(t.length, 1u);
}

TEST(XmlText, StepOfOneStillLeavesRoomForTheTerminator) {
  XmlText t;
  xml_text_init(t, 1);
  for (char c : std::string("abc")) ASSERT_TRUE(xml_text_append_char(t, c));
  EXPECT_STREQ(xml_element_text(t), "abc");
  EXPECT_LE(t.length, t.capacity);
}

TEST(XmlText, CapacityStaysBelowSixteenMebibytes) {
  XmlText t;
  EXPECT_FALSE(xml_text_reserve(t, XML_TEXT_CAPACITY_LIMIT));
  EXPECT_EQ(t.length, 0u);
  ASSERT_TRUE(xml_text_reserve(t, 4));
  ASSERT_TRUE(xml_text_append(t, "abc", 3));
  ASSERT_TRUE(xml_text_reserve(t, 2));  // keeps what fits
  EXPECT_STREQ(xml_element_text(t), "a");
  const std::string big(XML_TEXT_CAPACITY_LIMIT - 3, 'b');
  ASSERT_TRUE(xml_text_append(t, big.data(), static_cast<uint32_t>(big.size())));
  EXPECT_EQ(t.capacity, XML_TEXT_CAPACITY_LIMIT - 1);
  EXPECT_FALSE(xml_text_append_char(t, 'c'));
  EXPECT_EQ(xml_text_size(t), XML_TEXT_CAPACITY_LIMIT - 2);
}

TEST(XmlReaderQuirks, SmallDocuments) {
  const struct {
    std::string_view document;
    const char* log;
  } cases[] = {
      {"", ""},
      {"<?xml version=\"1.0\"?>\n<a/>", "<a></a>"},
      {"<a>one<b/>two</a>", "<a>one<b></b></a>"},  // text after a child is never seen
      {"<a>x</a>tail<b/>junk<c></c>", "<a>x</a><b></b><c></c>"},
      {"<a><b></c></d>", "<a><b></b></a>"},  // end tags close the innermost element
      {"<a x=1 y=2>t</a>", "<a x=\"1 y=2\">t</a>"},
      {"<a x=p/q><b/>", "<a x=\"p\"></a><b></b>"},
      {"<a x='1\"2>'y=\"3\"/>", "<a x=\"1\"2>\" y=\"3\"></a>"},
      {"<a x = \"1\" >t</a>", "<a x=\"1\">t</a>"},
      {"< a\n>t</a>", "<a>t</a>"},
      {"<a x>t</a>", "<a x=\"\">t</a>"},
      {"<a> 1 &lt; 2\n</a>", "<a> 1 < 2\n</a>"},
      {"<a v='&amp;&#65;'/>", "<a v=\"&A\"></a>"},
      {std::string_view("\xFF\xFE<\0a\0/\0>\0", 10), "<a></a>"},  // UTF-16 with its mark
      // byte-order mark, blanks and line ends before the first tag
      {"\xEF\xBB\xBF \r\n\t<a/>", "<a></a>"},
      {"\n<a/>", "<a></a>"},
      // comments to "-->", whatever they hold
      {"<!-- <b> -- -> --->\n<a/>", "<a></a>"},
      {"<a>t<!-- <b/> --></a>", "<a>t</a>"},
      {"<!---->\n<a/>", "<a></a>"},
      // declarations to their matching '>', internal subset and its comments included
      {"<!DOCTYPE s PUBLIC \"-//X//DTD Y 3.1//EN\" \"http://x/y.dtd\">\n<a/>", "<a></a>"},
      {"<!DOCTYPE a [ <!ENTITY e \"<b>\"> <!-- ] > ' --> <!ELEMENT a ANY> ]>\n<a/>", "<a></a>"},
      // within text, a comment is left out and a CDATA section's characters are kept
      {"<a>t<!-- c -->u<![CDATA[ x < y ]] ]]]>!<b/></a>", "<a>tu x < y ]] ]!<b></b></a>"},
      {"<!-- never ends <a/>", ""},
      // processing instructions to "?>"
      {"<?pi if (a<b) x->y; ?>\n<a>t<?pi <b/> ?\?></a>", "<a>t</a>"},
      // line ends of every kind become LF, split across blocks or not
      {"<a v='1\r\n2\r3'>x\r\ny\rz\n\r</a>", "<a v=\"1\n2\n3\">x\ny\nz\n\n</a>"},
  };
  for (const auto& c : cases) {
    const Result r = read(c.document);
    EXPECT_EQ(r.code, XML_READ_OK) << c.document;
    EXPECT_EQ(r.log, c.log) << c.document;
  }
  const std::string x(1023, 'x');  // CR at the end of one block, LF at the start of the next
  EXPECT_EQ(read("<a>" + x + "\r\ny</a>").log, "<a>" + x + "\ny</a>");
}

// Names, values and texts are taken in runs up to the end of the input's block: wherever a
// block ends in them, and with the bytes the input drops inside them, they read the same; a
// byte 0 in an element's name ends the read wherever the block ends.
TEST(XmlReaderQuirks, RunsAcrossBlocksAndDroppedBytes) {
  using namespace std::string_literals;
  const std::string tail = "<name at\xFEtr='va&amp;l\0ue' b=\"q\">te\0xt &lt; t"s +
                           "</name><empty x='1'/>\n  <c>\xFF"
                           "c</c></r>";
  for (size_t k = 990; k < 1040; ++k) {
    const std::string lead(k, 'x');
    const Result r = read("<r>" + lead + tail);
    EXPECT_EQ(r.code, XML_READ_OK) << k;
    EXPECT_EQ(r.log, "<r>" + lead +
                         "<name attr=\"va&lue\" b=\"q\">text < t</name><empty x=\"1\"></empty>"
                         "<c>c</c></r>")
        << k;
    // In an element's name, a byte 0 leaves no name: the read ends.
    EXPECT_EQ(read("<r>" + lead + "<na\0me/></r>"s).code, XML_READ_BAD_NAME) << k;
  }
}

TEST(XmlReaderCodes, MalformedAndTruncatedDocuments) {
  const struct {
    std::string_view document;
    int32_t code;
  } cases[] = {
      {"x<a/>", XML_READ_SYNTAX},
      {"\xEF\xBBx<a/>", XML_READ_SYNTAX},  // half a byte-order mark
      {"<a x y='1'/>", XML_READ_SYNTAX},
      {"<a>&nbsp;</a>", XML_READ_SYNTAX},
      {"<a>&T;</a>", XML_READ_SYNTAX},
      {"<a>&ax;</a>", XML_READ_SYNTAX},
      {"<a v='&zz;'/>", XML_READ_SYNTAX},
      {"</a>", XML_READ_UNOPENED_END},
      {"<a></a></b>", XML_READ_UNOPENED_END},
      {"<", XML_READ_TRUNCATED},
      {"<a", XML_READ_TRUNCATED},
      {"<a ", XML_READ_TRUNCATED},
      {"<a x", XML_READ_TRUNCATED},
      {"<a x ", XML_READ_TRUNCATED},
      {"<a x=", XML_READ_TRUNCATED},
      {"<a x='1", XML_READ_TRUNCATED},
      {"<a x=1", XML_READ_TRUNCATED},
      {"<a x='1' ", XML_READ_TRUNCATED},
      {"<a>text", XML_READ_TRUNCATED},
      {"<a>&", XML_READ_TRUNCATED},
      {"<a>&l", XML_READ_TRUNCATED},
      {"<a>&a", XML_READ_TRUNCATED},
      {"<a>&am", XML_READ_TRUNCATED},
      {"<a>&#", XML_READ_TRUNCATED},
      {"<a>&#x4", XML_READ_TRUNCATED},
      {"<a v='&#12", XML_READ_TRUNCATED},
      {"<a><b/>", XML_READ_TRUNCATED},  // still open at the end
      {"<a><b></b>\n", XML_READ_TRUNCATED},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.document).code, c.code) << c.document;
  // Elements still open at the end get no end callback.
  EXPECT_EQ(read("<a><b/>").log, "<a><b></b>");
  // A read that fails is not the end of the document.
  const int directory = open("/", O_RDONLY);
  ASSERT_GE(directory, 0);
  EXPECT_EQ(xml_read(directory, log_start, log_end, nullptr, 16, 16, 16), XML_READ_INPUT_ERROR);
  close(directory);
}

TEST(XmlReaderEntities, DecidedByTheirFirstLetters) {
  const struct {
    const char* entity;
    const char* text;
  } cases[] = {
      {"&lt;", "<"},
      {"&ltx;", "<"},
      {"&l;", "<"},
      {"&gt;", ">"},
      {"&quot;", "\""},
      {"&amp;", "&"},
      {"&apos;", "'"},
      {"&#65;", "A"},
      {"&#x41;", "A"},
      {"&#x4a;", "J"},
      {"&#x4A;", "J"},
      {"&#321;", "\xC5\x81"},  // above 127: its UTF-8 bytes
      {"&#233;", "\xC3\xA9"},
      {"&#x266D;", "\xE2\x99\xAD"},
      {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& c : cases) {
    const Result r = read(std::string("<a>") + c.entity + "</a>");
    EXPECT_EQ(r.code, XML_READ_OK) << c.entity;
    EXPECT_EQ(r.log, std::string("<a>") + c.text + "</a>") << c.entity;
  }
  // A reference to no character a document may hold ends the read, in text and in a value: no
  // digits (once the byte 0), strays among them, a control code, a surrogate, past Unicode.
  for (const char* bad : {"&#;", "&#x;", "&#x4g1;", "&#0;", "&#x1F;", "&#xD800;", "&#xFFFE;",
                          "&#1114112;", "&#99999999999999999999;"}) {
    EXPECT_EQ(read(std::string("<a>") + bad + "</a>").code, XML_READ_BAD_REFERENCE) << bad;
    EXPECT_EQ(read(std::string("<a v='") + bad + "'/>").code, XML_READ_BAD_REFERENCE) << bad;
  }
}

TEST(XmlReaderEntities, TheDocumentsOwnFromItsInternalSubset) {
  const std::string subset =
      "<!DOCTYPE a [\n"
      "  <!ENTITY % p SYSTEM 'p.ent'> <!ENTITY ext SYSTEM \"http://x/e.xml\">\n"
      "  <!ENTITY comp \"L. v. B.\"> <!ENTITY comp 'second'>\n"
      "  <!ENTITY lrm '&#x200E;'> <!ENTITY both \"&comp; &amp; &lrm;\">\n"
      "  <!ENTITY tag '<b>]'> <!ENTITY lt '&#38;#60;'>\n"
      "]>\n";
  const struct {
    const char* body;
    int32_t code;
    const char* log;
  } cases[] = {
      {"<a v='&comp;'>&comp;!</a>", XML_READ_OK, "<a v=\"L. v. B.\">L. v. B.!</a>"},
      {"<a>&both;</a>", XML_READ_OK, "<a>L. v. B. & \xE2\x80\x8E</a>"},
      {"<a>&tag;&lt;&ltx;</a>", XML_READ_OK, "<a><b>]<<</a>"},  // values are text
      {"<a>&ext;</a>", XML_READ_EXTERNAL_ENTITY, ""},           // never fetched
      {"<a>&p;</a>", XML_READ_SYNTAX, ""},
      {"<a>&nothing;</a>", XML_READ_SYNTAX, ""},
  };
  for (const auto& c : cases) {
    const Result r = read(subset + c.body);
    EXPECT_EQ(r.code, c.code) << c.body;
    EXPECT_EQ(r.log, c.log) << c.body;
  }
  // Entities that refer to themselves or multiply their text end the read.
  EXPECT_EQ(read("<!DOCTYPE a [<!ENTITY e '&e;'>]><a>&e;</a>").code, XML_READ_ENTITY_LIMIT);
  std::string laughs = "<!DOCTYPE a [<!ENTITY l0 'ha'>";
  for (int i = 1; i < 9; ++i) {
    laughs += "<!ENTITY l" + std::to_string(i) + " '";
    for (int k = 0; k < 10; ++k) laughs += "&l" + std::to_string(i - 1) + ";";
    laughs += "'>";
  }
  EXPECT_EQ(read(laughs + "]><a>&l8;</a>").code, XML_READ_ENTITY_LIMIT);
  EXPECT_EQ(read(laughs + "]><a>&l5;</a>").code, XML_READ_OK);
}

std::string nested(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "<e>";
  for (int i = 0; i < n; ++i) s += "</e>";
  return s;
}

std::string with_attributes(int n) {
  std::string s = "<e";
  for (int i = 0; i < n; ++i) s += " a" + std::to_string(i) + "='" + std::to_string(i) + "'";
  return s + "/>";
}

TEST(XmlReaderLimits, ElementAndAttributeStacks) {
  EXPECT_EQ(read(nested(15)).code, XML_READ_OK);
  EXPECT_EQ(read(nested(16)).code, XML_READ_TOO_DEEP);
  EXPECT_EQ(read(nested(3), 4).code, XML_READ_OK);
  EXPECT_EQ(read(nested(4), 4).code, XML_READ_TOO_DEEP);
  EXPECT_EQ(read(with_attributes(15)).code, XML_READ_OK);
  // Attributes past the slots are read and dropped; the first ones are kept.
  const Result more = read(with_attributes(16));
  EXPECT_EQ(more.code, XML_READ_OK);
  EXPECT_EQ(more.log, read(with_attributes(15)).log);
  const Result r = read("<e a='1' b='&lt;' c=3>t</e><f g='5'/>", 16, 2);
  EXPECT_EQ(r.code, XML_READ_OK);
  EXPECT_EQ(r.log, "<e a=\"1\">t</e><f g=\"5\"></f>");
  EXPECT_EQ(read("<a/>", 0, 0).code, XML_READ_TOO_DEEP);  // sizes below 1 count as 1
}

TEST(XmlReaderLimits, TextStopsAtSixteenMebibytes) {
  const size_t most = XML_TEXT_CAPACITY_LIMIT - 2;  // bytes besides the terminator
  size_t seen = 0;
  auto measure = [](const char*, XmlElement& e, void* user) {
    *static_cast<size_t*>(user) = xml_text_size(e.text);
    return 0;
  };
  for (const char* where : {"text", "value"}) {
    const bool text = where[0] == 't';
    for (size_t n : {most, most + 1}) {
      std::string doc = text ? "<a>" : "<a v='";
      doc.append(n, 'x');
      doc += text ? "</a>" : "'/>";
      seen = 0;
      const int32_t code =
          xml_read_memory(doc.data(), doc.size(), measure, nullptr, &seen, 16, 16, 16);
      EXPECT_EQ(code, n == most ? XML_READ_OK : XML_READ_TOO_LONG) << where << " " << n;
      if (text) EXPECT_EQ(seen, n == most ? most : 0u);
    }
  }
}

TEST(XmlReaderInput, FileAcrossBlocksFromItsCurrentPosition) {
  std::string doc = "<score>";
  for (int i = 0; i < 300; ++i)
    doc += "<note n='" + std::to_string(i) + "'>pitch &amp; " + std::to_string(i) + "</note>\n";
  doc += "</score>";
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  const std::string prefix = "not read";
  ASSERT_EQ(std::fwrite(prefix.data(), 1, prefix.size(), f), prefix.size());
  ASSERT_EQ(std::fwrite(doc.data(), 1, doc.size(), f), doc.size());
  std::fflush(f);
  ASSERT_EQ(lseek(fileno(f), static_cast<off_t>(prefix.size()), SEEK_SET),
            static_cast<off_t>(prefix.size()));
  std::string log;
  EXPECT_EQ(xml_read(fileno(f), log_start, log_end, &log, 16, 16, 16), XML_READ_OK);
  EXPECT_EQ(log, read(doc).log);
  EXPECT_NE(log.find("<note n=\"299\">pitch & 299</note>"), std::string::npos);
  EXPECT_EQ(lseek(fileno(f), 0, SEEK_CUR), static_cast<off_t>(prefix.size() + doc.size()));
  std::fclose(f);  // the reader left it open
}

TEST(XmlReaderInput, ThrowingCallbacksPassThroughAndLeakNothing) {
  // Long names and texts hold heap storage at the moment of the throw.
  const std::string longer(100, 'n');
  const std::string doc =
      "<" + longer + " " + longer + "='" + longer + "'><b>" + longer + "<c/></b></" + longer + ">";
  auto throw_at_c = [](const char* name, XmlElement&, void*) -> int {
    if (name[0] == 'c') throw std::runtime_error("stop");
    return 0;
  };
  auto throw_at_end = [](const char*, void*) -> int { throw 42; };
  EXPECT_THROW(xml_read_memory(doc.data(), doc.size(), throw_at_c, nullptr, nullptr, 16, 16, 16),
               std::runtime_error);
  EXPECT_THROW(xml_read_memory(doc.data(), doc.size(), nullptr, throw_at_end, nullptr, 16, 16, 16),
               int);
  EXPECT_EQ(xml_read_memory(doc.data(), doc.size(), nullptr, nullptr, nullptr, 16, 16, 16), 0);
}

TEST(XmlReaderInput, LargeDocumentsGiveTheEventsOfTheirPieces) {
  // Large enough to be read ahead by a second thread: the callbacks must see each piece as
  // they see it read alone, with the open elements of its place, and a cut or a throw ends
  // the read where it would.
  const std::string piece =
      "<m n='1' e='&amp;&#233;'>\n  <note><pitch>C&lt;</pitch><dot/><!-- c --></note>\n</m>\n";
  std::string doc = "<score><part>";
  std::string expected = "<score><part>";
  const std::string piece_log = read(piece).log;
  for (int i = 0; i < 4000; ++i) doc += piece, expected += piece_log;
  expected += "</part></score>";
  EXPECT_EQ(read(doc + "</part></score>").log, expected);
  std::string parents;
  auto note_parents = [](const char* name, XmlElement& e, void* user) {
    if (std::strcmp(name, "dot") == 0)
      *static_cast<std::string*>(user) =
          xml_open_element_name(e, 1) + std::string(xml_open_element_name(e, 3));
    return 0;
  };
  EXPECT_EQ(xml_read_memory(doc.data(), doc.size(), note_parents, nullptr, &parents, 16, 16, 16),
            XML_READ_TRUNCATED);
  EXPECT_EQ(parents, "partnote");
  const Result cut = read(doc.substr(0, doc.size() - 10));
  EXPECT_EQ(cut.code, XML_READ_TRUNCATED);
  EXPECT_EQ(cut.log, expected.substr(0, cut.log.size()));
  auto throw_late = [](const char*, void* user) -> int {
    if (++*static_cast<int*>(user) == 10000) throw std::runtime_error("stop");
    return 0;
  };
  int ends = 0;
  XmlReadStop stop;
  EXPECT_THROW(
      xml_read_memory(doc.data(), doc.size(), nullptr, throw_late, &ends, 16, 16, 16, 0, &stop),
      std::runtime_error);
  EXPECT_EQ(ends, 10000);
  EXPECT_GT(stop.line, 1u);  // the place is given however the read ends
  // The coder's number for each name reaches the start callback, read ahead or not.
  auto length_code = [](const char*, uint32_t length) { return int32_t(length); };
  auto count_miscoded = [](const char* name, XmlElement& e, void* user) {
    *static_cast<int*>(user) += e.name_code != int32_t(std::strlen(name));
    return 0;
  };
  for (const std::string& text : {piece, doc + "</part></score>"}) {
    int miscoded = 0;
    EXPECT_EQ(xml_read_memory(text.data(), text.size(), count_miscoded, nullptr, &miscoded, 16, 16,
                              16, 0, nullptr, length_code),
              XML_READ_OK);
    EXPECT_EQ(miscoded, 0);
  }
}

// The UTF-16 form of a UTF-8 text, with its byte-order mark.
std::string utf16(std::string_view utf8, bool big_endian) {
  std::string out;
  auto unit = [&](uint32_t u) {
    const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
    out += big_endian ? std::string{high, low} : std::string{low, high};
  };
  unit(0xFEFF);
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
    i += length;
    if (c < 0x10000) {
      unit(c);
    } else {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

// Flat sign and ellipsis hold '&' in one byte, the bullet '"' in both; a pair for the double
// flat; line ends of every kind.
const std::string_view MUSIC_TEXT =
    "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<score>\r\n"
    "<words v=\"\u2022 \u3C00\">B\u266D\u2026 \U0001D12B\rnext\r\n\nend</words></score>";
const char* const MUSIC_LOG =
    "<score>\n<words v=\"\u2022 \u3C00\">B\u266D\u2026 \U0001D12B\nnext\n\nend</words></score>";

TEST(XmlReaderEncodings, Utf16InBothByteOrders) {
  for (bool big_endian : {false, true}) {
    const Result r = read(utf16(MUSIC_TEXT, big_endian));
    EXPECT_EQ(r.code, XML_READ_OK) << big_endian;
    EXPECT_EQ(r.log, MUSIC_LOG) << big_endian;
  }
  // Without a mark, told by its first character; a lone surrogate is a replacement character.
  const std::string no_mark = utf16("<a>\u00E9</a>", true).substr(2);
  EXPECT_EQ(read(no_mark).log, "<a>\u00E9</a>");
  EXPECT_EQ(read(std::string("\xFF\xFE<\0a\0>\0\x00\xD8<\0/\0a\0>\0", 18)).log, "<a>\uFFFD</a>");
  // Texts longer than a block of decoded bytes, in characters of two, three and four bytes.
  std::string many;
  for (int i = 0; i < 700; ++i) many += "\u00E9\u266D\U0001D12B";
  EXPECT_EQ(read(utf16("<a>" + many + "</a>", false)).log, "<a>" + many + "</a>");
}

TEST(XmlReaderEncodings, Utf16FromAPipeInPiecesOfAnySize) {
  const std::string doc = utf16(MUSIC_TEXT, false);
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  std::thread writer([&] {  // one byte at a time, so that reads split units and pairs
    for (char c : doc)
      if (write(pipe_ends[1], &c, 1) != 1) break;
    close(pipe_ends[1]);
  });
  std::string log;
  EXPECT_EQ(xml_read(pipe_ends[0], log_start, log_end, &log, 16, 16, 16), XML_READ_OK);
  writer.join();
  close(pipe_ends[0]);
  EXPECT_EQ(log, MUSIC_LOG);
}

TEST(XmlReaderEncodings, DeclaredLatin1AndWindows1252) {
  const struct {
    std::string_view document;
    const char* log;
  } cases[] = {
      {"<?xml version='1.0' encoding='ISO-8859-1'?><a v='\xE9'>Caf\xE9 \xB0 \x80\x93\xFF</a>",
       "<a v=\"\u00E9\">Caf\u00E9 \u00B0 \u20AC\u201C\u00FF</a>"},
      {"<?xml version=\"1.0\" encoding = \"windows-1252\" ?>\r\n<a>\x85\x8D\r\n</a>",
       "<a>\u2026\u008D\n</a>"},
      {"<?xml version='1.0' encoding='latin1'?><a>\xE9</a>", "<a>\u00E9</a>"},
      // a UTF-8 byte-order mark wins over the declaration
      {"\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?><a>\xC3\xA9</a>", "<a>\u00E9</a>"},
      {"<?xml version='1.0'?><a>\xC3\xA9</a>", "<a>\u00E9</a>"},
  };
  for (const auto& c : cases) {
    const Result r = read(c.document);
    EXPECT_EQ(r.code, XML_READ_OK) << c.document;
    EXPECT_EQ(r.log, c.log) << c.document;
  }
}

// A UTF-8 document's first byte that is no part of a character is found with its place, its
// bytes read on as they are; characters split between two blocks, or after a CR, are sound.
TEST(XmlReaderEncodings, BytesThatAreNoUtf8AreFoundWhereTheyStand) {
  const auto first_bad = [](const std::string& document) {
    XmlReadStop stop;
    std::string log;
    EXPECT_EQ(xml_read_memory(document.data(), document.size(), log_start, log_end, &log, 16, 16,
                              16, 0, &stop),
              XML_READ_OK);
    return std::to_string(stop.bad_utf8_line) + ":" + std::to_string(stop.bad_utf8_column);
  };
  for (size_t k = 1010; k < 1030; ++k) {
    const std::string lead(k, 'x');
    // An e acute, a flat and a G clef wherever the block ends: sound.
    EXPECT_EQ(first_bad("<a>" + lead + "\xC3\xA9\xE2\x99\xAD\xF0\x9D\x84\x9E</a>"), "0:0") << k;
    EXPECT_EQ(first_bad("<a>\r\n" + lead + "\xC3\xA9\xE2\x99\xAD</a>"), "0:0") << k;
  }
  EXPECT_EQ(first_bad("<a>\nCaf\xE9</a>"), "2:4");           // a Latin-1 e acute: its lead
  EXPECT_EQ(first_bad("<a>\r\nx\x80</a>"), "2:2");           // a lone continuation, after a CR
  EXPECT_EQ(first_bad("<a>\xC0\xAF</a>"), "1:4");            // an overlong '/'
  EXPECT_EQ(first_bad("<a>\xED\xA0\x80</a>"), "1:4");        // a surrogate
  EXPECT_EQ(first_bad("<a>\xC3\xA9\n\xF4\x90</a>"), "2:1");  // past Unicode
}

// What a start callback reads, element by element.
struct Seen {
  std::vector<std::string> lines;
};

int note_accessors(const char* name, XmlElement& e, void* user) {
  auto& lines = static_cast<Seen*>(user)->lines;
  char line[512];
  const char* n = xml_attr(e, "n");
  std::snprintf(line, sizeof line,
                "%s int=%d double=%g attr=%s attr_int=%d attr_double=%g "
                "outer=%s inner=%s level_k=%d either=%d",
                name, xml_text_int(e), xml_text_double(e), n ? n : "(none)", xml_attr_int(e, "n"),
                xml_attr_double(e, "d"), xml_open_element_name(e, 0), xml_open_element_name(e, -1),
                xml_open_element_level(e, "k"), xml_open_element_level_either(e, "zz", "k"));
  lines.push_back(line);
  return 0;
}

TEST(XmlAccessors, NumbersAttributesAndOpenElements) {
  const std::string_view doc =
      "<m n='x' n='7' n='y' n='' d='1.5' d='z'>\n <k>  42abc</k><k> -2.5e1</k><k n='3'>+7</k>"
      "<k>99999999999</k><k>x</k><k/></m>";
  Seen seen;
  ASSERT_EQ(xml_read_memory(doc.data(), doc.size(), note_accessors, nullptr, &seen, 16, 16, 16), 0);
  const char* expected[] = {
      "m int=-2147483648 double=-2.14748e+09 attr=x attr_int=7 attr_double=1.5 outer=m "
      "inner=m level_k=-1 either=-1",
      "k int=42 double=42 attr=(none) attr_int=-2147483648 attr_double=-2.14748e+09 outer=m "
      "inner=k level_k=1 either=1",
      "k int=-2 double=-25 attr=(none) attr_int=-2147483648 attr_double=-2.14748e+09 outer=m "
      "inner=k level_k=1 either=1",
      "k int=7 double=7 attr=3 attr_int=3 attr_double=-2.14748e+09 outer=m inner=k level_k=1 "
      "either=1",
      "k int=2147483647 double=1e+11 attr=(none) attr_int=-2147483648 attr_double=-2.14748e+09 "
      "outer=m inner=k level_k=1 either=1",
      "k int=-2147483648 double=-2.14748e+09 attr=(none) attr_int=-2147483648 "
      "attr_double=-2.14748e+09 outer=m inner=k level_k=1 either=1",
      "k int=-2147483648 double=-2.14748e+09 attr=(none) attr_int=-2147483648 "
      "attr_double=-2.14748e+09 outer=m inner=k level_k=1 either=1",
  };
  ASSERT_EQ(seen.lines.size(), std::size(expected));
  for (size_t i = 0; i < seen.lines.size(); ++i) EXPECT_EQ(seen.lines[i], expected[i]);
}

// Short decimals are read apart from other numbers: each must come out as the full reading
// gives it, to the last bit.
TEST(XmlAccessors, ShortDecimalsReadAsEveryOtherNumber) {
  std::vector<std::string> texts = {".5",        "5.",    "-0",      "+.25",
                                    " \t-3.5",   "1.5e",  "1.5E2",   "12345678",
                                    "0.0000001", "1.2.3", "9999999", "0.3333333"};
  uint32_t state = 12345;
  for (int i = 0; i < 20000; ++i) {
    state = state * 1103515245u + 12345u;
    std::string digits = std::to_string(state % 10000000 >> (state >> 28));
    digits.insert(size_t(state >> 8) % (digits.size() + 1), ".");
    texts.push_back((state & 0x80 ? "-" : "") + digits);
  }
  std::string doc = "<m>";
  for (const std::string& text : texts) doc += "<k>" + text + "</k>";
  doc += "</m>";
  std::vector<double> read;
  auto keep = [](const char*, XmlElement& e, void* user) {
    static_cast<std::vector<double>*>(user)->push_back(xml_text_double(e));
    return 0;
  };
  ASSERT_EQ(xml_read_memory(doc.data(), doc.size(), keep, nullptr, &read, 16, 16, 16), 0);
  ASSERT_EQ(read.size(), texts.size() + 1);
  for (size_t i = 0; i < texts.size(); ++i) {
    float full = 0;
    const double expected = scan_single(texts[i], &full) ? double(full) : XML_NO_DOUBLE;
    EXPECT_EQ(std::bit_cast<uint64_t>(read[i + 1]), std::bit_cast<uint64_t>(expected)) << texts[i];
  }
}

TEST(XmlAccessors, OpenElementNameOutsideTheStackIsEmpty) {
  XmlElement e;
  xml_element_init(e, 4, 4, 16);
  EXPECT_STREQ(xml_open_element_name(e, -1), "");
  EXPECT_STREQ(xml_open_element_name(e, 3), "");
  EXPECT_EQ(xml_attr(e, "x"), nullptr);
}

TEST(XmlLookup, FindsEveryNameOfEveryTableSize) {
  const XmlNamedValue keywords[] = {{"large", 18},  {"larger", 14},   {"medium", 12},
                                    {"small", 10},  {"smaller", 11},  {"x-large", 24},
                                    {"x-small", 9}, {"xx-large", 32}, {"xx-small", 8}};
  const char* names[std::size(keywords)];
  for (size_t i = 0; i < std::size(keywords); ++i) names[i] = keywords[i].name;
  for (int32_t count = 1; count <= static_cast<int32_t>(std::size(keywords)); ++count) {
    for (int32_t i = 0; i < count; ++i) {
      EXPECT_EQ(lookup_sorted_record(keywords[i].name, keywords, count), i);
      EXPECT_EQ(lookup_sorted_name(names[i], names, count), i);
    }
    for (const char* absent : {"", "a", "larg", "largest", "tiny", "xx-smallest", "\xFF"}) {
      EXPECT_EQ(lookup_sorted_record(absent, keywords, count), XML_NOT_FOUND) << absent;
      EXPECT_EQ(lookup_sorted_name(absent, names, count), XML_NOT_FOUND) << absent;
    }
  }
  EXPECT_EQ(lookup_sorted_record("large", keywords, 0), XML_NOT_FOUND);
}

TEST(XmlConversion, Utf8ToMacRomanWithReplacements) {
  const struct {
    const char* utf8;
    const char* system;
  } cases[] = {
      {"B\u266D", "Bb"},
      {"F\u266F minor", "F# minor"},
      {"Caf\u00E9 \u20AC", "Caf\x8E \xDB"},
      {"\u2126", "\xBD"},         // a character the encoding has under another code point
      {"\u2126\u266D", "?b"},     // ... but not one of its own 128 once done unit by unit
      {"\u00E9\u4E2D", "\x8E?"},  // no code
      {"A\U0001F3B5", "A??"},     // two UTF-16 units
      {"", ""},
  };
  for (const auto& c : cases) {
    char out[32];
    int result = 99;
    EXPECT_EQ(utf8_to_system_text(c.utf8, out, sizeof out, &result), 1) << c.utf8;
    EXPECT_STREQ(out, c.system) << c.utf8;
    EXPECT_EQ(result, 0);
  }
}

TEST(XmlConversion, InvalidUtf8FailsAndLongTextIsCut) {
  for (const char* bad : {"\xC3(", "\xC0\xAF", "\xED\xA0\x80", "ab\xE2\x99", "\xFF"}) {
    char out[8] = "keep";
    EXPECT_EQ(utf8_to_system_text(bad, out, sizeof out), 0);
    EXPECT_STREQ(out, "keep");
  }
  char out[4];
  EXPECT_EQ(utf8_to_system_text("abcdef", out, sizeof out), 1);
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(utf8_to_system_text("\u00E9\u00E9\u00E9\u00E9", out, sizeof out), 1);
  EXPECT_STREQ(out, "\x8E\x8E\x8E");
}

TEST(XmlConversion, MacRomanToUtf8MustFit) {
  char out[4];
  EXPECT_EQ(system_to_utf8_text("a\x8E", out, sizeof out), 1);
  EXPECT_STREQ(out, "a\u00E9");
  EXPECT_EQ(system_to_utf8_text("ab\x8E", out, sizeof out), 0);
  char round[16];
  ASSERT_EQ(system_to_utf8_text("\xA5 \xDB \xF0", round, sizeof round), 1);
  char back[8];
  ASSERT_EQ(utf8_to_system_text(round, back, sizeof back), 1);
  EXPECT_STREQ(back, "\xA5 \xDB \xF0");
}

}  // namespace
