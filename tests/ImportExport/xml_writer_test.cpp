// xml_writer_test.cpp: the XML writer into strings and files.
//   XmlWriterOutput.*:   the exact bytes of each operation, indentation, escaping
//   XmlWriterRefusals.*: what is refused, and a start refused for a full stack
//   XmlWriterFile.*:     file output equals string output; open failures; a full disk
//   XmlWriterRoundTrip.*: what the writer writes, the reader reads back
#include "ImportExport/xml_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <unistd.h>

#include "ImportExport/xml_reader.h"
#include "support/script_fixture.h"

namespace {

using WriterCalls = void (*)(XmlWriter&);

std::string to_string(const XmlText& text) {
  return text.length ? std::string(text.bytes.get(), text.length - 1) : std::string();
}

std::string write_string(WriterCalls run) {
  XmlWriter w;
  xml_writer_init(w, 16, 32);
  XmlText out;
  EXPECT_EQ(xml_writer_attach_string(w, out), 1);
  run(w);
  EXPECT_EQ(xml_writer_close(w), 1);
  xml_writer_free(w);
  return to_string(out);
}

TEST(XmlWriterOutput, ExactBytes) {
  const struct {
    const char* what;
    WriterCalls run;
    const char* output;
  } cases[] = {
      {"empty element",
       [](XmlWriter& w) {
         xml_start_element(w, "a");
         xml_end_element(w);
       },
       "<a/>\n"},
      {"attribute",
       [](XmlWriter& w) {
         xml_start_element(w, "a");
         xml_add_attribute(w, "x", "1");
         xml_add_attribute(w, "y", "");
         xml_end_element(w);
       },
       "<a x=\"1\" y=\"\"/>\n"},
      {"text",
       [](XmlWriter& w) {
         xml_start_element(w, "a");
         xml_add_text(w, "T");
         xml_end_element(w);
       },
       "<a>T</a>\n"},
      {"nested",
       [](XmlWriter& w) {
         xml_start_element(w, "a");
         xml_start_element(w, "b");
         xml_end_element(w);
         xml_start_element(w, "c");
         xml_start_element(w, "d");
         xml_add_text(w, "");
         xml_end_element(w);
         xml_end_element(w);
         xml_end_element(w);
       },
       "<a>\n\t<b/>\n\t<c>\n\t\t<d></d>\n\t</c>\n</a>\n"},
      {"escaping",
       [](XmlWriter& w) {
         xml_start_element(w, "a");
         xml_add_attribute(w, "v", "\"'<>&x");
         xml_add_text(w, "1 < 2 & 'q' \"r\" >");
         xml_end_element(w);
       },
       "<a v=\"&quot;&apos;&lt;&gt;&amp;x\">1 &lt; 2 &amp; &apos;q&apos; &quot;r&quot; &gt;</a>\n"},
      {"raw line while pending",
       [](XmlWriter& w) {
         xml_start_element(w, "a");
         xml_write_line(w, "<!-- L -->");
         xml_end_element(w);
       },
       "<a><!-- L -->\n</a>\n"},
      {"copied buffer",
       [](XmlWriter& w) {
         XmlText part;
         xml_text_append_cstring(part, "<b/>\n");
         xml_start_element(w, "a");
         xml_start_element(w, "p");
         xml_write_buffer(w, part);
         xml_end_element(w);
         xml_end_element(w);
       },
       "<a>\n\t<p>\n\t\t<b/>\n</p>\n</a>\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(write_string(c.run), c.output) << c.what;
}

TEST(XmlWriterRefusals, EachOperation) {
  XmlWriter w;
  xml_writer_init(w, 16, 32);
  XmlText out, other;
  EXPECT_EQ(xml_start_element(w, "a"), 0);  // nothing attached
  EXPECT_EQ(xml_add_text(w, "t"), 0);
  EXPECT_EQ(xml_write_line(w, "l"), 0);
  EXPECT_EQ(xml_write_buffer(w, other), 0);
  EXPECT_EQ(xml_end_element(w), 0);
  EXPECT_EQ(xml_writer_close(w), 0);
  ASSERT_EQ(xml_writer_attach_string(w, out), 1);
  EXPECT_EQ(xml_writer_attach_string(w, other), 0);
  EXPECT_EQ(xml_writer_is_open(w), 1);
  EXPECT_EQ(xml_end_element(w), 0);              // depth 0
  EXPECT_EQ(xml_add_attribute(w, "x", "1"), 0);  // no start tag
  ASSERT_EQ(xml_start_element(w, "a"), 1);
  EXPECT_EQ(xml_add_attribute(w, "", "1"), 0);
  EXPECT_EQ(xml_add_attribute(w, nullptr, "1"), 0);
  EXPECT_EQ(xml_add_attribute(w, "x", nullptr), 0);
  EXPECT_EQ(xml_add_text(w, nullptr), 0);
  EXPECT_EQ(xml_write_buffer(w, out), 0);  // its own output
  ASSERT_EQ(xml_start_element(w, "b"), 1);
  ASSERT_EQ(xml_end_element(w), 1);
  EXPECT_EQ(xml_add_attribute(w, "x", "1"), 0);  // after a child
  ASSERT_EQ(xml_add_text(w, "t"), 1);
  EXPECT_EQ(xml_add_attribute(w, "x", "1"), 0);  // after text
  ASSERT_EQ(xml_end_element(w), 1);
  EXPECT_EQ(xml_end_element(w), 0);
  EXPECT_EQ(xml_writer_close(w), 1);
  EXPECT_EQ(xml_writer_is_open(w), 0);
  xml_writer_free(w);
  EXPECT_EQ(to_string(out), "<a>\n\t<b/>\nt</a>\n");
}

TEST(XmlWriterRefusals, FullStackRefusesTheElementAndItsContent) {
  testing::internal::CaptureStdout();
  const std::string output = write_string([](XmlWriter& w) {
    // 16 slots: 15 elements open at most
    for (int i = 0; i < 15; ++i) ASSERT_EQ(xml_start_element(w, "e"), 1);
    EXPECT_EQ(xml_start_element(w, "full"), 0);
    EXPECT_EQ(xml_add_attribute(w, "x", "1"), 0);
    EXPECT_EQ(xml_start_element(w, "inner"), 0);
    EXPECT_EQ(xml_add_text(w, "t"), 0);
    EXPECT_EQ(xml_end_element(w), 0);  // inner
    EXPECT_EQ(xml_end_element(w), 0);  // full
    for (int i = 0; i < 15; ++i) ASSERT_EQ(xml_end_element(w), 1);
  });
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error, stack too small\n");
  std::string expected;
  for (int i = 0; i < 15; ++i) expected += std::string(i, '\t') + (i < 14 ? "<e>\n" : "<e/>\n");
  for (int i = 13; i >= 0; --i) expected += std::string(i, '\t') + "</e>\n";
  EXPECT_EQ(output, expected);
}

// A document that crosses the file buffer several times, with one text longer than it.
void long_document(XmlWriter& w) {
  xml_start_element(w, "score");
  for (int i = 0; i < 200; ++i) {
    xml_start_element(w, "note");
    xml_add_attribute(w, "n", std::to_string(i).c_str());
    xml_add_text(w, i == 100 ? std::string(3000, 'x').c_str() : "C&D");
    xml_end_element(w);
  }
  xml_write_line(w, "");
  xml_end_element(w);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(XmlWriterFile, FileHoldsExactlyTheStringOutput) {
  char path[] = "/tmp/vesk_xml_writer_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "stale contents beyond", 21), 21);
  close(fd);
  XmlWriter w;
  xml_writer_init(w, 16, 32);
  ASSERT_EQ(xml_writer_open(w, path), 1);
  XmlText other;
  EXPECT_EQ(xml_writer_attach_string(w, other), 0);
  long_document(w);
  EXPECT_EQ(xml_writer_close(w), 1);
  xml_writer_free(w);
  const std::string expected = write_string(long_document);
  EXPECT_GT(expected.size(), 4000u);
  EXPECT_EQ(read_file(path), expected);
  unlink(path);
}

using XmlWriterOpen = ScriptedTest;

TEST_F(XmlWriterOpen, MissingFileIsReportedAndRefused) {
  XmlWriter w;
  xml_writer_init(w, 16, 32);
  script_hit(2);
  EXPECT_EQ(xml_writer_open(w, "/nonexistent-vesk-dir/score.musicxml"), 0);
  const std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].text, "File not found");
  EXPECT_EQ(xml_writer_is_open(w), 0);
  xml_writer_free(w);
}

TEST(XmlWriterFile, FullDiskIsReportedAtClose) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  for (bool long_text : {false, true}) {
    XmlWriter w;
    xml_writer_init(w, 16, 32);
    ASSERT_EQ(xml_writer_open(w, "/dev/full"), 1);
    xml_start_element(w, "a");
    EXPECT_EQ(xml_add_text(w, long_text ? std::string(5000, 'x').c_str() : "short"), 1);
    xml_end_element(w);
    EXPECT_EQ(xml_writer_close(w), 0) << long_text;
    xml_writer_free(w);
  }
}

TEST(XmlWriterFile, StringPastTheTextLimitIsReportedAtClose) {
  XmlWriter w;
  xml_writer_init(w, 16, 32);
  XmlText out;
  ASSERT_EQ(xml_writer_attach_string(w, out), 1);
  const std::string half(XML_TEXT_CAPACITY_LIMIT / 2, 'x');
  xml_start_element(w, "a");
  xml_add_text(w, half.c_str());
  xml_add_text(w, half.c_str());
  xml_end_element(w);
  EXPECT_EQ(xml_writer_close(w), 0);
  xml_writer_free(w);
  EXPECT_LT(out.capacity, XML_TEXT_CAPACITY_LIMIT);
}

int log_start(const char* name, XmlElement& e, void* user) {
  std::string& log = *static_cast<std::string*>(user);
  log += std::string("<") + name;
  for (int i = 0; i < e.attribute_count; ++i)
    log += std::string(" ") + xml_element_text(e.attribute_names[i]) + "=[" +
           xml_element_text(e.attribute_values[i]) + "]";
  log += std::string(">") + xml_element_text(e.text);
  return 0;
}

int log_end(const char* name, void* user) {
  *static_cast<std::string*>(user) += std::string("</") + name + ">";
  return 0;
}

TEST(XmlWriterRoundTrip, ReaderReadsWhatTheWriterWrote) {
  const std::string doc = write_string([](XmlWriter& w) {
    xml_write_line(w, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    xml_start_element(w, "score-partwise");
    xml_add_attribute(w, "version", "3.1");
    xml_start_element(w, "credit-words");
    xml_add_attribute(w, "quote", "He said \"it's <fine> & \u266D\"");
    xml_add_text(w, "Caf\u00E9 & <Bar> 'one' \"two\"");
    xml_end_element(w);
    xml_start_element(w, "part");
    xml_start_element(w, "measure");
    xml_add_attribute(w, "number", "1");
    xml_end_element(w);
    xml_end_element(w);
    xml_end_element(w);
  });
  std::string log;
  ASSERT_EQ(xml_read_memory(doc.data(), doc.size(), log_start, log_end, &log, 16, 16, 16), 0);
  EXPECT_EQ(log,
            "<score-partwise version=[3.1]>\n\t"
            "<credit-words quote=[He said \"it's <fine> & \u266D\"]>Caf\u00E9 & <Bar> 'one' "
            "\"two\"</credit-words>"
            "<part>\n\t\t<measure number=[1]></measure></part></score-partwise>");
}

}  // namespace
