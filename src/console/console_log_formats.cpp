// console_log_formats.cpp: the bytes of console log files, and the text conversions the
// console needs.
//
// Log files: RTF (with every character outside ASCII as a \u control word, so the file is
// 7-bit and names no code page for its text), plain UTF-16 (little-endian, with a byte-order
// mark), plain UTF-8 (with a byte-order mark) and plain Mac OS Roman. Lines end in a line
// feed.
//
// The RTF reader understands what the writer writes and the common rest of the format:
// groups, control words and symbols, \u with its fallback count, hexadecimal bytes, the colour
// table, bold, italic, underline and colour; destinations it does not know (font table, style
// sheet, pictures, "\*" groups) are skipped. Group nesting is bounded, so a damaged file costs
// no more than its own length.
#include "console/console_log_formats.h"

#include <algorithm>
#include <cctype>

#include "platform/text_encoding.h"

const ConsoleLogFormat CONSOLE_LOG_FORMATS[LOG_FORMAT_COUNT] = {
    {"Rich Text Format (RTF)", ".rtf"},
    {"Plain UTF-16 Format", ".utxt"},
    {"Plain UTF-8 Format", ".txt"},
    {"Plain Text Format", ".txt"},
};

namespace {

constexpr char16_t REPLACEMENT = 0xFFFD;

bool is_continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// Decodes one UTF-8 sequence at `i`; false (consuming one byte) when it is malformed.
bool decode_utf8(std::string_view s, size_t& i, char32_t* code_point) {
  const auto lead = static_cast<uint8_t>(s[i]);
  int length = 0;
  char32_t value = 0;
  char32_t least = 0;
  if (lead < 0x80) {
    *code_point = lead;
    ++i;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    ++i;
    return false;
  }
  if (i + length > s.size()) {
    ++i;
    return false;
  }
  for (int k = 1; k < length; ++k) {
    const auto byte = static_cast<uint8_t>(s[i + k]);
    if (!is_continuation(byte)) {
      ++i;
      return false;
    }
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += length;
  *code_point = value;
  return true;
}

void append_utf16(std::u16string& out, char32_t code_point) {
  if (code_point < 0x10000) {
    out.push_back(static_cast<char16_t>(code_point));
  } else {
    code_point -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
  }
}

// The code point at `i` of UTF-16 text; unpaired surrogates are U+FFFD.
char32_t next_code_point(std::u16string_view text, size_t& i) {
  const char16_t unit = text[i++];
  if (unit >= 0xD800 && unit <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 &&
      text[i] <= 0xDFFF) {
    return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i++] - 0xDC00);
  }
  if (unit >= 0xD800 && unit <= 0xDFFF) return REPLACEMENT;
  return unit;
}

// Line ends of any kind become "\n".
std::u16string unify_line_ends(std::u16string text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r') {
      out.push_back(u'\n');
      if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::u16string utf16_of_bytes(std::string_view bytes, bool big_endian) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<uint8_t>(bytes[i]);
    const auto second = static_cast<uint8_t>(bytes[i + 1]);
    out.push_back(
        static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first));
  }
  // Unpaired surrogates are not passed on.
  std::u16string checked;
  checked.reserve(out.size());
  for (size_t i = 0; i < out.size();) append_utf16(checked, next_code_point(out, i));
  return checked;
}

// ---- RTF writing --------------------------------------------------------------------------------

int colour_index(std::vector<RgbColour>& table, RgbColour colour) {
  const auto found = std::find(table.begin(), table.end(), colour);
  if (found != table.end()) return static_cast<int>(found - table.begin()) + 1;
  table.push_back(colour);
  return static_cast<int>(table.size());
}

void append_rtf_text(std::string& out, std::u16string_view text) {
  for (const char16_t c : text) {
    if (c == u'\n') {
      out += "\\par\n";
    } else if (c == u'\t') {
      out += "\\tab ";
    } else if (c == u'\\' || c == u'{' || c == u'}') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      // Signed 16 bits, as the format has it; '?' for readers that know no Unicode.
      out += "\\u" + std::to_string(static_cast<int16_t>(c)) + "?";
    }
  }
}

// ---- RTF reading --------------------------------------------------------------------------------

struct RtfState {
  ConsoleTextStyle style;
  int colour = 0;     // index into the colour table
  int skip_uc = 1;    // characters that stand in for one \u
  bool skip = false;  // inside a destination whose text is not shown
  bool colour_table = false;
};

class RtfReader {
 public:
  explicit RtfReader(std::string_view rtf) : s_(rtf) {}

  std::vector<ConsoleStyledRun> read() {
    const size_t start = s_.find("{\\rtf");
    if (start == std::string_view::npos) return {};
    i_ = start;
    stack_.push_back(RtfState{});
    while (i_ < s_.size() && !stack_.empty()) step();
    return std::move(runs_);
  }

 private:
  static constexpr size_t MAX_DEPTH = 200;
  static constexpr int MAX_NUMBER_DIGITS = 10;

  RtfState& state() { return stack_.back(); }

  void emit(char32_t code_point) {
    RtfState& st = state();
    if (st.skip) return;
    if (pending_skip_ > 0) {
      --pending_skip_;
      return;
    }
    std::u16string text;
    append_utf16(text, code_point);
    ConsoleTextStyle style = st.style;
    style.colour =
        st.colour < static_cast<int>(colours_.size()) ? colours_[st.colour] : RgbColour{};
    if (!runs_.empty() && runs_.back().style == style) {
      runs_.back().text += text;
    } else {
      runs_.push_back({text, style});
    }
  }

  void step() {
    const char c = s_[i_];
    if (c == '{') {
      ++i_;
      if (stack_.size() >= MAX_DEPTH) {
        ++ignored_depth_;
      } else {
        stack_.push_back(state());
      }
    } else if (c == '}') {
      ++i_;
      if (ignored_depth_ > 0) {
        --ignored_depth_;
      } else {
        if (state().colour_table && entry_started_) end_colour_entry();
        stack_.pop_back();
      }
    } else if (c == '\\') {
      control();
    } else if (c == '\r' || c == '\n') {
      ++i_;
    } else {
      ++i_;
      if (state().colour_table) {
        if (c == ';') end_colour_entry();
        return;
      }
      emit(static_cast<uint8_t>(c) < 0x80 ? char32_t(static_cast<uint8_t>(c))
                                          : byte_to_unicode(static_cast<uint8_t>(c)));
    }
  }

  char32_t byte_to_unicode(uint8_t byte) const {
    return mac_ ? macroman_to_unicode(byte) : char32_t(byte);  // Latin-1 otherwise
  }

  // Entries are numbered from 0; an empty one (usually the first) stands for the default
  // colour, black.
  void end_colour_entry() {
    colours_.push_back({static_cast<uint16_t>(red_ * 257), static_cast<uint16_t>(green_ * 257),
                        static_cast<uint16_t>(blue_ * 257)});
    entry_started_ = false;
    red_ = green_ = blue_ = 0;
  }

  void control() {
    ++i_;  // the backslash
    if (i_ >= s_.size()) return;
    const char c = s_[i_];
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      ++i_;
      symbol(c);
      return;
    }
    std::string word;
    while (i_ < s_.size() && std::isalpha(static_cast<unsigned char>(s_[i_])) && word.size() < 32)
      word += s_[i_++];
    bool has_number = false;
    bool negative = false;
    long number = 0;
    if (i_ < s_.size() && s_[i_] == '-') {
      negative = true;
      ++i_;
    }
    int digits = 0;
    while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) {
      if (digits++ < MAX_NUMBER_DIGITS) number = number * 10 + (s_[i_] - '0');
      has_number = true;
      ++i_;
    }
    if (negative) number = -number;
    if (i_ < s_.size() && s_[i_] == ' ') ++i_;
    apply(word, has_number, number);
  }

  void symbol(char c) {
    switch (c) {
      case '\\':
      case '{':
      case '}':
        emit(static_cast<unsigned char>(c));
        break;
      case '~':
        emit(0xA0);
        break;
      case '\r':
      case '\n':
        emit(u'\n');
        break;
      case '*':
        state().skip = true;
        break;
      case '\'': {
        int value = 0;
        for (int k = 0;
             k < 2 && i_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[i_]));
             ++k, ++i_) {
          const char h = static_cast<char>(std::tolower(static_cast<unsigned char>(s_[i_])));
          value = value * 16 + (h >= 'a' ? h - 'a' + 10 : h - '0');
        }
        emit(value < 0x80 ? char32_t(value) : byte_to_unicode(static_cast<uint8_t>(value)));
        break;
      }
      default:
        break;  // optional hyphen, formula character and the like
    }
  }

  void apply(const std::string& word, bool has_number, long number) {
    RtfState& st = state();
    static const char* const SKIPPED[] = {
        "fonttbl",      "filetbl",   "stylesheet", "info",      "pict",
        "header",       "footer",    "headerl",    "headerr",   "footerl",
        "footerr",      "footnote",  "object",     "listtable", "listoverridetable",
        "rsidtbl",      "generator", "xmlnstbl",   "themedata", "colorschememapping",
        "latentstyles", "datastore", "fldinst"};
    for (const char* skipped : SKIPPED) {
      if (word == skipped) {
        st.skip = true;
        return;
      }
    }
    if (word == "colortbl") {
      st.colour_table = true;
      st.skip = true;
      return;
    }
    if (st.colour_table) {
      const int value = static_cast<int>(std::clamp<long>(number, 0, 255));
      if (word == "red") red_ = value, entry_started_ = true;
      if (word == "green") green_ = value, entry_started_ = true;
      if (word == "blue") blue_ = value, entry_started_ = true;
      return;
    }
    const bool on = !has_number || number != 0;
    if (word == "mac") {
      mac_ = true;
    } else if (word == "par" || word == "line") {
      emit(u'\n');
    } else if (word == "tab") {
      emit(u'\t');
    } else if (word == "b") {
      st.style.face = on ? (st.style.face | 1) : (st.style.face & ~1);
    } else if (word == "i") {
      st.style.face = on ? (st.style.face | 2) : (st.style.face & ~2);
    } else if (word == "ul") {
      st.style.face = on ? (st.style.face | 4) : (st.style.face & ~4);
    } else if (word == "ulnone") {
      st.style.face &= ~4;
    } else if (word == "plain") {
      st.style = {};
      st.colour = 0;
    } else if (word == "cf") {
      st.colour = static_cast<int>(std::clamp<long>(number, 0, 4096));
    } else if (word == "uc") {
      st.skip_uc = static_cast<int>(std::clamp<long>(number, 0, 8));
    } else if (word == "u") {
      emit_unicode(static_cast<int32_t>(std::clamp<long>(number, -32768, 65535)));
      pending_skip_ = st.skip_uc;
    } else if (word == "emdash") {
      emit(0x2014);
    } else if (word == "endash") {
      emit(0x2013);
    } else if (word == "bullet") {
      emit(0x2022);
    } else if (word == "lquote") {
      emit(0x2018);
    } else if (word == "rquote") {
      emit(0x2019);
    } else if (word == "ldblquote") {
      emit(0x201C);
    } else if (word == "rdblquote") {
      emit(0x201D);
    }
  }

  // A \u value: signed 16 bits, surrogate halves joined into one character.
  void emit_unicode(int32_t value) {
    const auto unit = static_cast<char16_t>(value < 0 ? value + 65536 : value);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      high_surrogate_ = unit;
      return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      const char32_t joined =
          high_surrogate_ ? 0x10000 + ((char32_t(high_surrogate_) - 0xD800) << 10) + (unit - 0xDC00)
                          : REPLACEMENT;
      high_surrogate_ = 0;
      pending_skip_ = 0;
      emit(joined);
      return;
    }
    if (high_surrogate_) {
      high_surrogate_ = 0;
      pending_skip_ = 0;
      emit(REPLACEMENT);
    }
    pending_skip_ = 0;
    emit(unit);
  }

  std::string_view s_;
  size_t i_ = 0;
  std::vector<RtfState> stack_;
  size_t ignored_depth_ = 0;
  std::vector<ConsoleStyledRun> runs_;
  std::vector<RgbColour> colours_;
  int red_ = 0, green_ = 0, blue_ = 0;
  bool entry_started_ = false;
  bool mac_ = false;
  int pending_skip_ = 0;
  char16_t high_surrogate_ = 0;
};

}  // namespace

// ---- Encodings
// ------------------------------------------------------------------------------------

std::u16string console_utf8_to_utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    char32_t code_point;
    append_utf16(out, decode_utf8(utf8, i, &code_point) ? code_point : REPLACEMENT);
  }
  return out;
}

bool console_utf8_valid(std::string_view bytes) {
  for (size_t i = 0; i < bytes.size();) {
    char32_t code_point;
    if (!decode_utf8(bytes, i, &code_point)) return false;
  }
  return true;
}

std::u16string console_macroman_to_utf16(std::string_view macroman) {
  std::u16string out;
  out.reserve(macroman.size());
  for (const char c : macroman) append_utf16(out, macroman_to_unicode(static_cast<uint8_t>(c)));
  return out;
}

std::string console_utf16_to_utf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) append_utf8(out, next_code_point(text, i));
  return out;
}

std::u16string console_system_to_utf16(std::string_view bytes) {
  return console_utf8_valid(bytes) ? console_utf8_to_utf16(bytes)
                                   : console_macroman_to_utf16(bytes);
}

// ---- Log files
// ------------------------------------------------------------------------------------

std::string console_write_rtf(const std::vector<ConsoleStyledRun>& runs, const std::string& font,
                              int size) {
  std::vector<RgbColour> colours;
  std::string body;
  for (const ConsoleStyledRun& run : runs) {
    body += "\\plain\\f0\\fs" + std::to_string(size * 2);
    if (run.style.face & 1) body += "\\b";
    if (run.style.face & 2) body += "\\i";
    if (run.style.face & 4) body += "\\ul";
    body += "\\cf" + std::to_string(colour_index(colours, run.style.colour)) + " ";
    append_rtf_text(body, run.text);
  }
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0\n{\\fonttbl{\\f0\\fmodern\\fcharset0 ";
  for (const char c : font)
    if (c != '\\' && c != '{' && c != '}' && c != ';') out += c;
  out += ";}}\n{\\colortbl;";
  for (const RgbColour& c : colours) {
    out += "\\red" + std::to_string(c.red >> 8) + "\\green" + std::to_string(c.green >> 8) +
           "\\blue" + std::to_string(c.blue >> 8) + ";";
  }
  out += "}\n\\pard\n" + body + "}\n";
  return out;
}

std::vector<ConsoleStyledRun> console_read_rtf(std::string_view rtf) {
  std::vector<ConsoleStyledRun> runs = RtfReader(rtf).read();
  for (ConsoleStyledRun& run : runs) run.text = unify_line_ends(run.text);
  return runs;
}

std::string console_encode_log(const std::vector<ConsoleStyledRun>& runs, int format,
                               const std::string& font, int size) {
  if (format == LOG_FORMAT_RTF) return console_write_rtf(runs, font, size);
  std::u16string text;
  for (const ConsoleStyledRun& run : runs) text += run.text;
  std::string out;
  if (format == LOG_FORMAT_UTF16) {
    out = "\xFF\xFE";
    for (size_t i = 0; i < text.size();) {
      std::u16string units;
      append_utf16(units, next_code_point(text, i));
      for (const char16_t unit : units) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
      }
    }
  } else if (format == LOG_FORMAT_UTF8) {
    out = "\xEF\xBB\xBF" + console_utf16_to_utf8(text);
  } else {
    for (size_t i = 0; i < text.size();)
      out += static_cast<char>(unicode_to_macroman(next_code_point(text, i)));
  }
  return out;
}

std::vector<ConsoleStyledRun> console_decode_log(std::string_view bytes) {
  if (bytes.substr(0, 5) == "{\\rtf") return console_read_rtf(bytes);
  std::u16string text;
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    text = utf16_of_bytes(bytes.substr(2), false);
  } else if (bytes.substr(0, 2) == "\xFE\xFF") {
    text = utf16_of_bytes(bytes.substr(2), true);
  } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    text = console_utf8_to_utf16(bytes.substr(3));
  } else {
    text = console_system_to_utf16(bytes);
  }
  text = unify_line_ends(std::move(text));
  if (text.empty()) return {};
  return {ConsoleStyledRun{std::move(text), ConsoleTextStyle{}}};
}
