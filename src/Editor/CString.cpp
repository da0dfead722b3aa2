// CString.cpp: the program's 8-bit string with shared, counted blocks.
//
// A block is one allocation: a 12-byte header (count, length, allocated), the characters and
// a NUL. Blocks are allocated to the exact size asked; only get_writable and an assignment
// into a larger unshared block leave spare room.
//
// Invariants:
//  - data never is null, and data[length] is NUL, so the characters read as a C string;
//  - count is 1 or more for an ordinary block, -1 for a locked block (never shared) and for
//    the shared empty string, never 0: a block whose count would drop to 0 is freed;
//  - the shared empty string is static, has length 0 and is never freed nor counted;
//  - a block counted above 1 is never written: unshare, or unshare_for_size, comes first.
//
// Texts handed to an operation may lie inside the string's own block; operations that move
// the characters in place copy such a text first.
#include "Editor/CString.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/app_services.h"
#include "model/model_services.h"

namespace {

// The shared empty string: a header and one NUL, constant-initialized so that strings made
// before main (or in other files' static objects) find it ready.
struct EmptyBlock {
  CStringHeader header;
  char text[4];
};
constinit EmptyBlock empty_block = {{-1, 0, 0}, {0, 0, 0, 0}};
constinit char* empty_chars = empty_block.text;

constexpr size_t HEADER_SIZE = sizeof(CStringHeader);
static_assert(HEADER_SIZE == 12, "the header is three 32-bit values");

// The characters of a string's block seen as its header.
CStringHeader* header_of(char* chars) { return reinterpret_cast<CStringHeader*>(chars) - 1; }

// Drops one reference to the block of chars, freeing it when no string uses it any more.
void release_chars(char* chars);

// The characters of `text`, with null read as "".
const char* text_or_empty(const char* text) { return text ? text : ""; }

bool is_white(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool in_set(char c, const char* set) { return c != '\0' && std::strchr(set, c) != nullptr; }

}  // namespace

#define STRING_CHECK(ok) ((ok) ? (void)0 : string_error(__FILE__, __LINE__))

char* const* CString_empty_ptr() { return &empty_chars; }

void string_error(const char* path, int line) {
  // The path from the source folder on, so that reports do not depend on where we were built.
  for (const char* p = std::strstr(path, "src/"); p; p = std::strstr(p + 1, "src/")) path = p + 4;
  std::snprintf(message_buffer, sizeof message_buffer, "String error %s %d", path, line);
  REPORT_ERROR(3, "%s", message_buffer);
  quit_program(0);  // level 3 has already ended the program
}

namespace {

void release_chars(char* chars) {
  STRING_CHECK(chars != nullptr);
  if (chars == empty_chars) return;
  CStringHeader* h = header_of(chars);
  STRING_CHECK(h->count != 0);
  if (--h->count <= 0) std::free(h);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Internal steps

// alloc_block: points this string at a new block of n characters (count 1, length n, NUL at
// n), or at the shared empty string when n is 0. Does not release the old block.
// Failure: a negative n or one beyond CSTRING_MAX_LENGTH is a string error.
void CString::alloc_block(int64_t n) {
  STRING_CHECK(n >= 0 && n <= CSTRING_MAX_LENGTH);
  if (n == 0) {
    data = empty_chars;
    return;
  }
  void* memory = std::malloc(HEADER_SIZE + static_cast<size_t>(n) + 1);
  STRING_CHECK(memory != nullptr);
  auto* h = new (memory) CStringHeader{1, int32_t(n), int32_t(n)};
  data = reinterpret_cast<char*>(h + 1);
  data[n] = '\0';
}

void CString::release_block() {
  release_chars(data);
  data = empty_chars;
}

// unshare: gives a shared block's string its own exact copy.
void CString::unshare() {
  if (header()->count > 1) {
    char* old = data;
    int32_t n = header()->length;
    release_chars(old);  // the block lives on in its other strings
    alloc_block(n);
    std::memcpy(data, old, static_cast<size_t>(n));
  }
  STRING_CHECK(header()->count <= 1);
}

// unshare_for_size: makes room for n characters in an unshared block; the old text is not
// kept when a new block is needed.
void CString::unshare_for_size(int64_t n) {
  if (header()->count > 1 || n > header()->allocated) {
    release_block();
    alloc_block(n);
  }
  STRING_CHECK(header()->count <= 1);
}

void CString::set_length(int64_t n) {
  if (is_empty_block()) return;  // the shared empty string always has length 0
  STRING_CHECK(n >= 0 && n <= header()->allocated);
  writable_header()->length = int32_t(n);
  data[n] = '\0';
}

// assign_chars: the text becomes the n characters of text. Text may lie in this block: a
// shared block lives on in its other strings until copied, and an unshared one always has
// the room in place.
void CString::assign_chars(int64_t n, const char* text) {
  unshare_for_size(n);
  std::memmove(data, text, static_cast<size_t>(n));
  set_length(n);
}

// copy_part: dest gets a new block of n + extra characters holding the n from index.
void CString::copy_part(CString& dest, int n, int index, int extra) const {
  int64_t total = int64_t(n) + extra;
  dest.release_block();
  if (total == 0) return;
  dest.alloc_block(total);
  std::memcpy(dest.data, data + index, static_cast<size_t>(n));
}

// concat_new: this empty string gets a new block holding text1 then text2.
void CString::concat_new(int64_t len1, const char* text1, int64_t len2, const char* text2) {
  int64_t total = len1 + len2;
  if (total == 0) return;
  alloc_block(total);
  std::memcpy(data, text1, static_cast<size_t>(len1));
  std::memcpy(data + len1, text2, static_cast<size_t>(len2));
}

// append_chars: adds n characters of text after the text, in place when the block is
// unshared and has the room, else in a new block of exactly the new length.
void CString::append_chars(int64_t n, const char* text) {
  if (n == 0) return;
  int64_t old_length = header()->length;
  if (header()->count > 1 || old_length + n > header()->allocated) {
    CString joined;
    joined.concat_new(old_length, data, n, text);
    std::swap(data, joined.data);  // the old block goes with joined
    return;
  }
  std::memmove(data + old_length, text, static_cast<size_t>(n));
  STRING_CHECK(old_length + n <= header()->allocated);
  set_length(old_length + n);
}

// ---------------------------------------------------------------------------------------------
// Construction and assignment

CString::CString(const char* text) : data(empty_chars) {
  if (text && *text) assign_chars(int64_t(std::strlen(text)), text);
}

CString::CString(char ch, int repeat) : data(empty_chars) {
  if (repeat < 1) return;
  alloc_block(repeat);
  std::memset(data, ch, static_cast<size_t>(repeat));
}

CString::CString(const CString& src) : data(empty_chars) {
  int32_t count = src.header()->count;
  STRING_CHECK(count != 0);
  if (count < 0) {
    if (src.data[0]) assign_chars(int64_t(std::strlen(src.data)), src.data);
  } else {
    data = src.data;
    writable_header()->count++;
  }
}

CString::~CString() { release_chars(data); }

CString& CString::operator=(const CString& src) {
  if (data == src.data) return *this;
  bool locked = header()->count == -1 && !is_empty_block();
  if (locked || src.header()->count < 0) {
    assign_chars(int64_t(std::strlen(src.data)), src.data);
  } else {
    STRING_CHECK(src.header()->count != 0);
    release_block();
    data = src.data;
    writable_header()->count++;
  }
  return *this;
}

CString& CString::operator=(const char* text) {
  text = text_or_empty(text);
  assign_chars(int64_t(std::strlen(text)), text);
  return *this;
}

CString& CString::operator=(char ch) {
  assign_chars(1, &ch);
  return *this;
}

void CString::clear() {
  if (is_empty_block()) return;
  if (header()->count == -1)
    set_length(0);  // a locked string keeps its block
  else
    release_block();
}

// ---------------------------------------------------------------------------------------------
// Concatenation and appending

CString operator+(const CString& a, const CString& b) {
  CString result;
  result.concat_new(a.length(), a.data, b.length(), b.data);
  return result;
}

CString operator+(const CString& a, const char* text) {
  text = text_or_empty(text);
  CString result;
  result.concat_new(a.length(), a.data, int64_t(std::strlen(text)), text);
  return result;
}

CString operator+(const char* text, const CString& b) {
  text = text_or_empty(text);
  CString result;
  result.concat_new(int64_t(std::strlen(text)), text, b.length(), b.data);
  return result;
}

CString operator+(const CString& a, char ch) {
  CString result;
  result.concat_new(a.length(), a.data, 1, &ch);
  return result;
}

CString operator+(char ch, const CString& b) {
  CString result;
  result.concat_new(1, &ch, b.length(), b.data);
  return result;
}

CString& CString::operator+=(const CString& other) {
  append_chars(other.length(), other.data);
  return *this;
}

CString& CString::operator+=(const char* text) {
  text = text_or_empty(text);
  append_chars(int64_t(std::strlen(text)), text);
  return *this;
}

CString& CString::operator+=(char ch) {
  append_chars(1, &ch);
  return *this;
}

// ---------------------------------------------------------------------------------------------
// Searching

int CString::find(char ch, int start) const {
  if (start < 0) start = 0;
  if (start >= length()) return -1;
  const void* hit = std::memchr(data + start, ch, static_cast<size_t>(length() - start));
  return hit ? int(static_cast<const char*>(hit) - data) : -1;
}

int CString::find(const char* text, int start) const {
  if (start < 0) start = 0;
  if (start > length()) return -1;
  std::string_view chars(data, static_cast<size_t>(length()));
  size_t hit = chars.find(text_or_empty(text), static_cast<size_t>(start));
  return hit == std::string_view::npos ? -1 : int(hit);
}

int CString::find_last(char ch) const {
  for (int i = length() - 1; i >= 0; --i)
    if (data[i] == ch) return i;
  return -1;
}

int CString::find_any(const char* set) const {
  set = text_or_empty(set);
  for (int i = 0; i < length(); ++i)
    if (in_set(data[i], set)) return i;
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Extracting

CString CString::substr(int first, int count) const {
  if (first < 0) first = 0;
  if (count < 0) count = 0;
  STRING_CHECK(first <= length());
  if (count > length() - first) count = length() - first;
  if (first == 0 && count == length()) return *this;
  CString result;
  copy_part(result, count, first, 0);
  return result;
}

CString CString::substr(int first) const {
  // Computed wide, so that a very negative first does not overflow.
  int64_t count = int64_t(length()) - first;
  return substr(first, count > CSTRING_MAX_LENGTH ? CSTRING_MAX_LENGTH : int(count));
}

CString CString::left(int count) const {
  if (count < 0) count = 0;
  if (count >= length()) return *this;
  CString result;
  copy_part(result, count, 0, 0);
  return result;
}

CString CString::right(int count) const {
  if (count < 0) count = 0;
  if (count >= length()) return *this;
  CString result;
  copy_part(result, count, length() - count, 0);
  return result;
}

CString CString::leading_in(const char* set) const {
  set = text_or_empty(set);
  int n = 0;
  while (n < length() && in_set(data[n], set)) ++n;
  return left(n);
}

CString CString::leading_not_in(const char* set) const {
  set = text_or_empty(set);
  int n = 0;
  while (n < length() && !in_set(data[n], set)) ++n;
  return left(n);
}

// ---------------------------------------------------------------------------------------------
// Changing the text in place

void CString::set_char(int index, char ch) {
  STRING_CHECK(index >= 0 && index < length());
  unshare();
  data[index] = ch;
}

int CString::insert(int index, char ch) { return insert_chars(index, 1, &ch); }

int CString::insert(int index, const char* text) {
  return insert_chars(index, text ? int64_t(std::strlen(text)) : 0, text);
}

// insert_chars: puts n characters of text before index (clamped to the text), in place when
// the block is unshared and has the room, else in a new block of exactly the new length.
int CString::insert_chars(int index, int64_t n, const char* text) {
  if (n == 0) return length();
  int old_length = length();
  if (index < 0) index = 0;
  if (index > old_length) index = old_length;
  int64_t new_length = old_length + n;
  if (header()->count > 1 || new_length > header()->allocated) {
    CString grown;
    grown.alloc_block(new_length);
    std::memcpy(grown.data, data, static_cast<size_t>(index));
    std::memcpy(grown.data + index, text, static_cast<size_t>(n));
    std::memcpy(grown.data + index + n, data + index, static_cast<size_t>(old_length - index));
    std::swap(data, grown.data);
  } else {
    std::string copy(text, static_cast<size_t>(n));  // text may lie in the part that moves
    std::memmove(data + index + n, data + index, static_cast<size_t>(old_length - index));
    std::memcpy(data + index, copy.data(), static_cast<size_t>(n));
    set_length(new_length);
  }
  return length();
}

int CString::erase(int index, int count) {
  int old_length = length();
  if (index < 0) index = 0;
  if (count < 1 || index >= old_length) return old_length;
  if (count > old_length - index) count = old_length - index;  // never past the end
  unshare();
  std::memmove(data + index, data + index + count, static_cast<size_t>(old_length - index - count));
  set_length(old_length - count);
  return old_length;
}

int CString::replace(char old_ch, char new_ch) {
  if (old_ch == new_ch) return 0;
  int replaced = 0;
  for (int i = 0; i < length(); ++i) {
    if (data[i] != old_ch) continue;
    if (replaced++ == 0) unshare();
    data[i] = new_ch;
  }
  return replaced;
}

int CString::replace(const char* old_text, const char* new_text) {
  if (!old_text || !*old_text) return 0;
  // Copies, since either text may lie in this string.
  std::string old_part(old_text), new_part(text_or_empty(new_text));
  std::string_view chars(data, static_cast<size_t>(length()));
  std::vector<size_t> hits;
  for (size_t at = chars.find(old_part); at != std::string_view::npos;
       at = chars.find(old_part, at + old_part.size()))
    hits.push_back(at);
  if (hits.empty()) return 0;

  int64_t new_length =
      length() + int64_t(hits.size()) * (int64_t(new_part.size()) - int64_t(old_part.size()));
  std::string result;
  result.reserve(static_cast<size_t>(new_length));
  size_t from = 0;
  for (size_t at : hits) {
    result.append(chars.substr(from, at - from)).append(new_part);
    from = at + old_part.size();
  }
  result.append(chars.substr(from));

  if (header()->count > 1 || new_length > header()->allocated) {
    release_block();
    alloc_block(new_length);
  }
  std::memcpy(data, result.data(), result.size());
  set_length(new_length);
  return int(hits.size());
}

int CString::remove_all(char ch) {
  int kept = 0, removed = 0;
  for (int i = 0; i < length(); ++i) {
    if (data[i] != ch) {
      if (removed) data[kept] = data[i];
      ++kept;
    } else if (removed++ == 0) {
      unshare();
    }
  }
  if (removed) set_length(kept);
  return removed;
}

// ---------------------------------------------------------------------------------------------
// Trimming

namespace {

// The number of leading, or trailing, characters of chars[0..length) that match.
template <typename Match>
int leading_run(const char* chars, int length, Match match) {
  int n = 0;
  while (n < length && match(chars[n])) ++n;
  return n;
}

template <typename Match>
int trailing_run(const char* chars, int length, Match match) {
  int n = 0;
  while (n < length && match(chars[length - 1 - n])) ++n;
  return n;
}

}  // namespace

void CString::trim_left() {
  int n = leading_run(data, length(), is_white);
  if (n > 0) erase(0, n);
}

void CString::trim_right() {
  int n = trailing_run(data, length(), is_white);
  if (n > 0) erase(length() - n, n);
}

void CString::trim_left(char ch) {
  int n = leading_run(data, length(), [ch](char c) { return c == ch; });
  if (n > 0) erase(0, n);
}

void CString::trim_right(char ch) {
  int n = trailing_run(data, length(), [ch](char c) { return c == ch; });
  if (n > 0) erase(length() - n, n);
}

void CString::trim_left(const char* set) {
  if (!set || !*set) return;
  int n = leading_run(data, length(), [set](char c) { return in_set(c, set); });
  if (n > 0) erase(0, n);
}

void CString::trim_right(const char* set) {
  if (!set || !*set) return;
  int n = trailing_run(data, length(), [set](char c) { return in_set(c, set); });
  if (n > 0) erase(length() - n, n);
}

// ---------------------------------------------------------------------------------------------
// Writing into the characters directly

// get_writable: an unshared block with room for at least min characters, holding the text.
// Failure: a negative min, or a min beyond the length limit, is a string error.
char* CString::get_writable(int min) {
  STRING_CHECK(min >= 0);
  if (header()->count > 1 || min > header()->allocated) {
    int old_length = header()->length;
    CString room;
    room.alloc_block(std::max(min, old_length));
    std::memcpy(room.data, data, static_cast<size_t>(old_length));
    room.set_length(old_length);
    std::swap(data, room.data);
  }
  return data;
}

// commit_writable: ends a direct write; new_length -1 takes the text up to its first NUL.
// Failure: a length beyond the allocated size (or below -1) is a string error.
void CString::commit_writable(int new_length) {
  unshare();
  if (new_length == -1) new_length = int(strnlen(data, static_cast<size_t>(header()->allocated)));
  STRING_CHECK(new_length >= 0 && new_length <= header()->allocated);
  set_length(new_length);
}

char* CString::get_writable_with_length(int n) {
  STRING_CHECK(n >= 0);
  get_writable(n);
  set_length(n);
  return data;
}

void CString::shrink() {
  if (header()->allocated <= header()->length) return;
  CString exact;
  exact.alloc_block(header()->length);
  std::memcpy(exact.data, data, static_cast<size_t>(header()->length));
  std::swap(data, exact.data);
}

char* CString::lock() {
  get_writable(0);
  if (!is_empty_block()) writable_header()->count = -1;
  return data;
}

// unlock: a locked string may be shared again. Failure: a string not locked.
void CString::unlock() {
  STRING_CHECK(header()->count == -1);
  if (!is_empty_block()) writable_header()->count = 1;
}

// ---------------------------------------------------------------------------------------------
// Formatting
//
// The estimate walks the format once and gives an upper bound of the result's length. It is
// deliberately generous (each ordinary character adds the length of the rest of the format),
// and a format whose estimate passes the length limit is a string error. The text itself is
// then formatted within that bound; should the bound prove too small, it is formatted again
// into a block of the exact size, so that nothing is ever written past a block.

namespace {

// The estimate, clamped just above the limit once it passes it.
class FormatEstimate {
 public:
  FormatEstimate(const char* format, va_list args) : format_(format) { va_copy(args_, args); }
  ~FormatEstimate() { va_end(args_); }
  FormatEstimate(const FormatEstimate&) = delete;
  FormatEstimate& operator=(const FormatEstimate&) = delete;

  int64_t walk();

 private:
  void add(int64_t n) { total_ = std::min<int64_t>(total_ + n, CSTRING_MAX_LENGTH + 1); }
  int64_t number(const char*& p);
  int64_t take_int_argument();
  void conversion(const char*& p);
  void string_conversion(bool wide, int64_t width, int64_t precision);
  void integer_argument(int size);
  void float_conversion(bool long_double, int64_t width, int64_t precision);

  const char* format_;
  va_list args_;
  int64_t total_ = 0;
};

int64_t FormatEstimate::walk() {
  int64_t rest = int64_t(std::strlen(format_));
  for (const char* p = format_; *p && total_ <= CSTRING_MAX_LENGTH;) {
    if (*p != '%' || p[1] == '%') {
      add(rest - (p - format_));
      p += *p == '%' ? 2 : 1;
    } else {
      conversion(++p);
    }
  }
  return total_;
}

int64_t FormatEstimate::number(const char*& p) {
  int64_t n = 0;
  while (*p >= '0' && *p <= '9') {
    n = std::min<int64_t>(n * 10 + (*p - '0'), CSTRING_MAX_LENGTH + 1);
    ++p;
  }
  return n;
}

int64_t FormatEstimate::take_int_argument() {
  int n = va_arg(args_, int);
  STRING_CHECK(n >= 0);
  return n;
}

// Sizes of integer arguments, by their length modifier.
enum { SIZE_INT, SIZE_LONG, SIZE_LONG_LONG, SIZE_SIZE_T, SIZE_INTMAX, SIZE_PTRDIFF };

void FormatEstimate::integer_argument(int size) {
  switch (size) {
    case SIZE_LONG:
      (void)va_arg(args_, long);
      break;
    case SIZE_LONG_LONG:
      (void)va_arg(args_, long long);
      break;
    case SIZE_SIZE_T:
      (void)va_arg(args_, size_t);
      break;
    case SIZE_INTMAX:
      (void)va_arg(args_, std::intmax_t);
      break;
    case SIZE_PTRDIFF:
      (void)va_arg(args_, std::ptrdiff_t);
      break;
    default:
      (void)va_arg(args_, int);
  }
}

// One conversion, p just after its '%'.
void FormatEstimate::conversion(const char*& p) {
  int64_t width = 0, precision = -1;
  for (;; ++p) {
    if (*p == '#')
      add(2);
    else if (*p == '*')
      width = take_int_argument();
    else if (*p != '-' && *p != '+' && *p != '0' && *p != ' ')
      break;
  }
  if (*p >= '0' && *p <= '9') width = number(p);
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      precision = take_int_argument();
      ++p;
    } else {
      precision = number(p);
    }
  }

  // Length modifiers; "I64" is none of ours.
  STRING_CHECK(!(p[0] == 'I' && p[1] == '6' && p[2] == '4'));
  bool narrow = false, wide = false, long_double = false;
  int size = SIZE_INT;
  for (;; ++p) {
    if (*p == 'h')
      narrow = true;
    else if (*p == 'l')
      wide = true, size = size == SIZE_LONG ? SIZE_LONG_LONG : SIZE_LONG;
    else if (*p == 'L')
      long_double = true;
    else if (*p == 'z')
      size = SIZE_SIZE_T;
    else if (*p == 'j')
      size = SIZE_INTMAX;
    else if (*p == 't')
      size = SIZE_PTRDIFF;
    else
      break;
  }

  int64_t width_and_precision = width + (precision > 0 ? precision : 0);
  switch (char c = *p++) {
    case 's':
    case 'S':
      string_conversion(!narrow && (wide || c == 'S'), width, precision);
      break;
    case 'd':
    case 'i':
    case 'o':
    case 'u':
    case 'x':
    case 'X':
      add(std::max<int64_t>(32, width_and_precision));
      integer_argument(size);
      break;
    case 'e':
    case 'g':
    case 'G':
      add(std::max<int64_t>(128, width_and_precision));
      if (long_double)
        (void)va_arg(args_, long double);
      else
        (void)va_arg(args_, double);
      break;
    case 'f':
      float_conversion(long_double, width, precision);
      break;
    case 'p':
      add(std::max<int64_t>(32, width_and_precision));
      (void)va_arg(args_, void*);
      break;
    case 'n':
      (void)va_arg(args_, void*);
      break;
    default:  // "%c", "%C" and every conversion not named above
      string_error(__FILE__, __LINE__);
  }
}

void FormatEstimate::string_conversion(bool wide, int64_t width, int64_t precision) {
  int64_t n;
  if (wide) {
    const wchar_t* text = va_arg(args_, const wchar_t*);
    n = text ? int64_t(std::wcslen(text)) * int64_t(MB_CUR_MAX) : 6;
  } else {
    // With a precision the text need not end in a NUL: look no further than it.
    const char* text = va_arg(args_, const char*);
    if (!text)
      n = 6;
    else
      n = precision >= 0 ? int64_t(strnlen(text, static_cast<size_t>(precision)))
                         : int64_t(std::strlen(text));
  }
  if (n == 0) n = 1;
  if (precision >= 0 && precision < n && !wide) n = precision;
  add(std::max(n, width));
}

void FormatEstimate::float_conversion(bool long_double, int64_t width, int64_t precision) {
  int w = int(std::min<int64_t>(width, CSTRING_MAX_LENGTH));
  int digits = int(std::min<int64_t>(std::max<int64_t>(precision, 0) + 6, CSTRING_MAX_LENGTH));
  int n;
  if (long_double)
    n = std::snprintf(nullptr, 0, "%*.*Lf", w, digits, va_arg(args_, long double));
  else
    n = std::snprintf(nullptr, 0, "%*.*f", w, digits, va_arg(args_, double));
  add(n > 0 ? n : CSTRING_MAX_LENGTH + 1);
}

}  // namespace

void CString::format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  format_args(format, args);
  va_end(args);
}

// format_args: the text becomes the formatted arguments.
// Failure: a bad conversion, a negative width or precision from the arguments, or an
// estimate beyond the length limit is a string error.
void CString::format_args(const char* format, va_list args) {
  int64_t estimate = FormatEstimate(format, args).walk();
  STRING_CHECK(estimate <= CSTRING_MAX_LENGTH);

  // Formatted into a string of its own: an argument may be this string's own characters.
  CString result;
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(result.get_writable(int(estimate)), size_t(estimate) + 1, format, args);
  if (n > estimate && n <= CSTRING_MAX_LENGTH)
    n = std::vsnprintf(result.get_writable(n), size_t(n) + 1, format, again);
  va_end(again);
  STRING_CHECK(n <= CSTRING_MAX_LENGTH);
  result.commit_writable(n < 0 ? 0 : -1);  // an encoding failure leaves no text
  *this = result;
}
