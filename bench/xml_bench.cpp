// xml_bench.cpp: reading and writing a large MusicXML-like document (about 40 MB).
//   XmlReadMemory: the reader over the document in memory, with callbacks that read an
//                  attribute and a number the way the import does (target: 100 MB/s or more)
//   XmlReadFile:   the same from a file descriptor, in 1024-byte reads
//   XmlWrite:      the writer producing the same structure into a file
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "ImportExport/xml_reader.h"
#include "ImportExport/xml_writer.h"

namespace {

constexpr int MEASURES = 40000;
const char* const STEPS = "CDEFGAB";

// Parts of measures of four notes, with attributes, directions and entities.
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
           "dolce &amp; cantabile</words></direction-type></direction>\n";
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

struct Tally {
  long elements = 0;
  long numbers = 0;
};

int count_start(const char*, XmlElement& element, void* user) {
  Tally& t = *static_cast<Tally*>(user);
  ++t.elements;
  if (element.attribute_count > 0) t.numbers += xml_attr_int(element, "number") != XML_NO_INT;
  if (xml_text_size(element.text) < 8) t.numbers += xml_text_int(element) != XML_NO_INT;
  return 0;
}

int count_end(const char*, void* user) {
  benchmark::DoNotOptimize(user);
  return 0;
}

void XmlReadMemory(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) {
    Tally t;
    const int32_t code =
        xml_read_memory(doc.data(), doc.size(), count_start, count_end, &t, 16, 16, 16);
    if (code != XML_READ_OK) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(t);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(doc.size()));
}
BENCHMARK(XmlReadMemory)->Unit(benchmark::kMillisecond);

void XmlReadFile(benchmark::State& state) {
  const std::string& doc = document();
  char path[] = "/tmp/vesk_xml_bench_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0 || write(fd, doc.data(), doc.size()) != static_cast<ssize_t>(doc.size())) {
    state.SkipWithError("cannot write the document");
    return;
  }
  for (auto _ : state) {
    lseek(fd, 0, SEEK_SET);
    Tally t;
    if (xml_read(fd, count_start, count_end, &t, 16, 16, 16) != XML_READ_OK)
      state.SkipWithError("read failed");
    benchmark::DoNotOptimize(t);
  }
  close(fd);
  unlink(path);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(doc.size()));
}
BENCHMARK(XmlReadFile)->Unit(benchmark::kMillisecond);

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
      write_element(w, "words", "dolce & cantabile");
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
