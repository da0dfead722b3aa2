// xml_bench.cpp: reading and writing a large MusicXML-like document (about 40 MB).
//   XmlReadMemory: the reader over the document in memory, with callbacks that read an
//                  attribute and a number the way the import does (target: 100 MB/s or more),
//                  in each form other programs write: UTF-8 (the best case), UTF-8 with CR LF
//                  line ends, ISO-8859-1, and UTF-16 (the worst case: every byte decoded)
//   XmlReadFile:   the same from a file descriptor, in 1024-byte reads, UTF-8 and UTF-16
//   XmlWrite:      the writer producing the same structure into a file
// Every read is checked: its result, the elements and numbers seen, and every decoded text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "ImportExport/musicxml_services.h"

namespace {

constexpr int MEASURES = 40000;
const char* const STEPS = "CDEFGAB";
const char* const WORDS = "tr\u00E8s dolce & cantabile";

// Parts of measures of four notes, with attributes, directions and entities, in UTF-8.
const std::string& document() {
  static const std::string doc = [] {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 Partwise//EN\" "
        "\"http://www.musicxml.org/dtds/partwise.dtd\">\n"
        "<score-partwise version=\"3.1\">\n  <part id=\"P1\">\n";
    for (int m = 1; m <= MEASURES; ++m) {
      s += "    <measure number=\"" + std::to_string(m) + "\" width=\"212.50\">\n";
      s += "      <direction placement=\"above\"><direction-type><words font-size=\"10\">"
           "tr\u00E8s dolce &amp; cantabile</words></direction-type></direction>\n";
      for (int n = 0; n < 4; ++n) {
        s += "      <note default-x=\"" + std::to_string(12 + 50 * n) + ".5\">\n";
        s += "        <pitch>\n          <step>";
        s += STEPS[(m + n) % 7];
        s += "</step>\n          <alter>-1</alter>\n          <octave>4</octave>\n"
             "        </pitch>\n        <duration>4</duration>\n        <voice>1</voice>\n"
             "        <type>quarter</type>\n        <stem>up</stem>\n"
             "        <notations><articulations><staccato placement=\"below\"/>"
             "</articulations></notations>\n      </note>\n";
      }
      s += "    </measure>\n";
    }
    return s + "  </part>\n</score-partwise>\n";
  }();
  return doc;
}

enum Form { UTF8, UTF8_CR_LF, LATIN1, UTF16 };
const char* const FORM_NAMES[] = {"UTF-8", "UTF-8, CR LF", "ISO-8859-1", "UTF-16"};

// The document as a program writing this form would write it.
std::string document_in(Form form) {
  std::string utf8 = document();
  std::string out;
  if (form == UTF8) return utf8;
  if (form == UTF8_CR_LF) {
    for (char c : utf8) c == '\n' ? out += "\r\n" : out += c;
    return out;
  }
  utf8.replace(utf8.find("UTF-8"), 5, form == UTF16 ? "UTF-16" : "ISO-8859-1");
  if (form == UTF16) out = "\xFF\xFE";
  for (size_t i = 0; i < utf8.size(); ++i) {  // the document has no character past U+00FF
    uint8_t c = static_cast<uint8_t>(utf8[i]);
    if (c >= 0x80) c = static_cast<uint8_t>(((c & 0x1F) << 6) | (utf8[++i] & 0x3F));
    out += static_cast<char>(c);
    if (form == UTF16) out += '\0';
  }
  return out;
}

struct Tally {
  long elements = 0;
  long numbers = 0;
  long text_bytes = 0;
  long words = 0;  // words elements with the right text
};

// What every form must give.
constexpr long ELEMENTS = 2 + 52L * MEASURES;
constexpr long NUMBERS = 17L * MEASURES;  // measure numbers, alter, octave, duration, voice

int count_start(const char* name, XmlElement& element, void* user) {
  Tally& t = *static_cast<Tally*>(user);
  ++t.elements;
  if (element.attribute_count > 0) t.numbers += xml_attr_int(element, "number") != XML_NO_INT;
  if (xml_text_size(element.text) < 8) t.numbers += xml_text_int(element) != XML_NO_INT;
  t.text_bytes += xml_text_size(element.text);
  if (name[0] == 'w' && std::strcmp(name, "words") == 0)
    t.words += std::strcmp(xml_element_text(element.text), WORDS) == 0;
  return 0;
}

// The text bytes the UTF-8 document gives, which every form must give too.
long expected_text_bytes() {
  static const long bytes = [] {
    Tally t;
    const std::string& doc = document();
    xml_read_memory(doc.data(), doc.size(), count_start, nullptr, &t, 16, 16, 16);
    return t.text_bytes;
  }();
  return bytes;
}

void check(benchmark::State& state, int32_t code, const Tally& t) {
  if (code != XML_READ_OK || t.elements != ELEMENTS || t.numbers != NUMBERS ||
      t.words != MEASURES || t.text_bytes != expected_text_bytes())
    state.SkipWithError("the read gave a wrong result");
}

int count_end(const char*, void* user) {
  benchmark::DoNotOptimize(user);
  return 0;
}

void XmlReadMemory(benchmark::State& state) {
  const Form form = static_cast<Form>(state.range(0));
  const std::string doc = document_in(form);
  expected_text_bytes();
  for (auto _ : state) {
    Tally t;
    check(state, xml_read_memory(doc.data(), doc.size(), count_start, count_end, &t, 16, 16, 16),
          t);
    benchmark::DoNotOptimize(t);
  }
  state.SetLabel(FORM_NAMES[form]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(doc.size()));
}
BENCHMARK(XmlReadMemory)->DenseRange(UTF8, UTF16)->Unit(benchmark::kMillisecond);

void XmlReadFile(benchmark::State& state) {
  const Form form = static_cast<Form>(state.range(0));
  const std::string doc = document_in(form);
  expected_text_bytes();
  char path[] = "/tmp/vesk_xml_bench_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0 || write(fd, doc.data(), doc.size()) != static_cast<ssize_t>(doc.size())) {
    state.SkipWithError("cannot write the document");
    return;
  }
  for (auto _ : state) {
    lseek(fd, 0, SEEK_SET);
    Tally t;
    check(state, xml_read(fd, count_start, count_end, &t, 16, 16, 16), t);
    benchmark::DoNotOptimize(t);
  }
  close(fd);
  unlink(path);
  state.SetLabel(FORM_NAMES[form]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(doc.size()));
}
BENCHMARK(XmlReadFile)->Arg(UTF8)->Arg(UTF16)->Unit(benchmark::kMillisecond);

void write_element(XmlWriter& w, const char* name, const char* text) {
  xml_start_element(w, name);
  xml_add_text(w, text);
  xml_end_element(w);
}

void XmlWrite(benchmark::State& state) {
  char path[] = "/tmp/vesk_xml_bench_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) {
    state.SkipWithError("cannot make a file");
    return;
  }
  int64_t bytes = 0;
  for (auto _ : state) {
    XmlWriter w;
    xml_writer_init(w, 16, 32);
    if (ftruncate(fd, 0) != 0 || xml_writer_open_refnum(w, dup(fd)) != 1) {
      state.SkipWithError("cannot open");
      break;
    }
    xml_write_line(w, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    xml_start_element(w, "score-partwise");
    xml_add_attribute(w, "version", "3.1");
    xml_start_element(w, "part");
    xml_add_attribute(w, "id", "P1");
    char number[16];
    for (int m = 1; m <= MEASURES; ++m) {
      std::snprintf(number, sizeof number, "%d", m);
      xml_start_element(w, "measure");
      xml_add_attribute(w, "number", number);
      xml_start_element(w, "direction");
      xml_add_attribute(w, "placement", "above");
      xml_start_element(w, "direction-type");
      write_element(w, "words", WORDS);
      xml_end_element(w);
      xml_end_element(w);
      for (int n = 0; n < 4; ++n) {
        xml_start_element(w, "note");
        xml_add_attribute(w, "default-x", "12.5");
        xml_start_element(w, "pitch");
        const char step[2] = {STEPS[(m + n) % 7], 0};
        write_element(w, "step", step);
        write_element(w, "alter", "-1");
        write_element(w, "octave", "4");
        xml_end_element(w);
        write_element(w, "duration", "4");
        write_element(w, "voice", "1");
        write_element(w, "type", "quarter");
        write_element(w, "stem", "up");
        xml_start_element(w, "notations");
        xml_start_element(w, "articulations");
        xml_start_element(w, "staccato");
        xml_add_attribute(w, "placement", "below");
        xml_end_element(w);
        xml_end_element(w);
        xml_end_element(w);
        xml_end_element(w);
      }
      xml_end_element(w);
    }
    xml_end_element(w);
    xml_end_element(w);
    if (xml_writer_close(w) != 1) state.SkipWithError("write failed");
    xml_writer_free(w);
    bytes += lseek(fd, 0, SEEK_END);
  }
  close(fd);
  unlink(path);
  state.SetBytesProcessed(bytes);
}
BENCHMARK(XmlWrite)->Unit(benchmark::kMillisecond);

}  // namespace
