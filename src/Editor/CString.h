// CString.h: the program's own 8-bit character string (Mac OS Roman text, not UTF-8).
//
// A string is one pointer to its characters. In front of the characters lies a header
// (reference count, length, allocated size) and after the last character a NUL. Copies share
// one block and count references; a shared block is copied just before it is written. Every
// empty string points at one static shared empty string. A string holds 0 to 1,000,000
// characters. A failed check is fatal: "String error <file> <line>" at level 3.
#pragma once

#include <cstdarg>
#include <cstdint>

// The header in front of a string's characters.
struct CStringHeader {
  int32_t count;      // strings sharing the block; -1 locked (or the shared empty string)
  int32_t length;     // characters in use
  int32_t allocated;  // characters that fit, not counting the NUL
};

inline constexpr int32_t CSTRING_MAX_LENGTH = 1000000;

// The address of the program-wide pointer to the shared empty string's characters.
char* const* CString_empty_ptr();

// Reports "String error <path> <line>" at level 3, which ends the program.
[[noreturn]] void string_error(const char* path, int line);

class CString {
 public:
  // Construction and destruction.
  CString() : data(*CString_empty_ptr()) {}
  CString(const char* text);  // NOLINT: a C string converts implicitly
  CString(char ch, int repeat);
  CString(const CString& src);
  ~CString();

  // Assignment.
  CString& operator=(const CString& src);
  CString& operator=(const char* text);
  CString& operator=(char ch);
  void clear();

  // Reading: the characters and their count.
  operator const char*() const { return data; }  // NOLINT: reads as a C string
  int length() const { return header()->length; }
  const CStringHeader* header() const {
    if (!data) string_error(__FILE__, __LINE__);
    return reinterpret_cast<const CStringHeader*>(data) - 1;
  }

  // Concatenation and appending.
  friend CString operator+(const CString& a, const CString& b);
  friend CString operator+(const CString& a, const char* text);
  friend CString operator+(const char* text, const CString& b);
  friend CString operator+(const CString& a, char ch);
  friend CString operator+(char ch, const CString& b);
  CString& operator+=(const CString& other);
  CString& operator+=(const char* text);
  CString& operator+=(char ch);

  // Searching: an index from 0, or -1 when not found.
  int find(char ch) const { return find(ch, 0); }
  int find(char ch, int start) const;
  int find(const char* text) const { return find(text, 0); }
  int find(const char* text, int start) const;
  int find_last(char ch) const;
  int find_any(const char* set) const;

  // Extracting: new strings; a whole string is shared, not copied.
  CString substr(int first, int count) const;
  CString substr(int first) const;
  CString left(int count) const;
  CString right(int count) const;
  CString leading_in(const char* set) const;
  CString leading_not_in(const char* set) const;

  // Changing the text in place.
  void set_char(int index, char ch);
  int insert(int index, char ch);
  int insert(int index, const char* text);
  int erase(int index, int count);
  int replace(char old_ch, char new_ch);
  int replace(const char* old_text, const char* new_text);
  int remove_all(char ch);

  // Trimming: white space, one character, or any character of a set.
  void trim_left();
  void trim_right();
  void trim_left(char ch);
  void trim_right(char ch);
  void trim_left(const char* set);
  void trim_right(const char* set);

  // Writing into the characters directly.
  char* get_writable(int min);
  void commit_writable(int new_length);
  char* get_writable_with_length(int n);
  void shrink();
  char* lock();
  void unlock();

  // Formatting, as printf does; "%c" and conversions it does not know are string errors.
  void format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void format_args(const char* format, va_list args) __attribute__((format(printf, 2, 0)));

 private:
  CStringHeader* writable_header() { return const_cast<CStringHeader*>(header()); }
  bool is_empty_block() const { return data == *CString_empty_ptr(); }

  void alloc_block(int64_t n);
  void release_block();
  void unshare();
  void unshare_for_size(int64_t n);
  void assign_chars(int64_t n, const char* text);
  void copy_part(CString& dest, int n, int index, int extra) const;
  void concat_new(int64_t len1, const char* text1, int64_t len2, const char* text2);
  void append_chars(int64_t n, const char* text);
  int insert_chars(int index, int64_t n, const char* text);
  void set_length(int64_t n);

  char* data;  // the first character; the header lies just before it
};
