// node_fields_test.cpp: node kinds, layout strings and payload fields.
//   Kinds.*:   the 51 kinds with their letters, names and layout strings
//   Layout.*:  every named field lies on a field of its kind's layout string
//   Fields.*:  every field keeps its extreme values and leaves every other bit alone
#include "model/node_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/node_kinds.h"
#include "params/param_services.h"
#include "support/model_fixture.h"

namespace {

// A field of a layout string as an absolute bit range of the node.
struct Span {
  int first_bit;  // counted from the most significant bit of node byte 0
  int bits;
};

// Decodes a layout string into the node's fields, from the kind byte on.
std::vector<Span> decode_layout(const std::string& layout) {
  std::vector<Span> spans;
  int byte = 8;
  for (size_t i = 0; i < layout.size(); ++i) {
    char c = layout[i];
    if (c >= '1' && c <= '9') {
      spans.push_back({byte * 8, (c - '0') * 8});
      byte += c - '0';
    } else if (c == 'x') {
      spans.push_back({byte * 8, 32});
      byte += 4;
    } else if (c == '+') {
      spans.push_back({byte * 8, 14 * 8});
      byte += 14;
    } else if (c == '(') {
      int bit = 0;
      for (++i; i < layout.size() && layout[i] != ')'; ++i) {
        int width = layout[i] - '0';
        spans.push_back({byte * 8 + bit, width});
        bit += width;
      }
      EXPECT_EQ(bit, 8) << "bit group of " << layout << " fills one byte";
      byte += 1;
    } else {
      ADD_FAILURE() << "unknown layout character '" << c << "' in " << layout;
    }
  }
  return spans;
}

int layout_bytes(const std::string& layout) {
  int bits = 0;
  for (Span s : decode_layout(layout)) bits += s.bits;
  return bits / 8;
}

Span span_of(const NodeField& f) { return {f.offset * 8 + f.bytes * 8 - f.shift - f.bits, f.bits}; }

std::vector<const NodeField*> all_fields() {
  std::vector<const NodeField*> v(model_node_fields, model_node_fields + model_node_field_count);
  v.insert(v.end(), anno_node_fields, anno_node_fields + anno_node_field_count);
  v.insert(v.end(), layout_node_fields, layout_node_fields + layout_node_field_count);
  v.insert(v.end(), slur_flag_fields, slur_flag_fields + slur_flag_field_count);
  v.insert(v.end(), param_node_fields, param_node_fields + param_node_field_count);
  v.insert(v.end(), ge_node_fields, ge_node_fields + ge_node_field_count);
  return v;
}

// True when [first, first + bits) is exactly a run of whole consecutive layout fields.
bool covers_whole_fields(const std::vector<Span>& spans, int first, int bits) {
  int at = first;
  for (Span s : spans) {
    if (s.first_bit == at && at < first + bits) at += s.bits;
  }
  return at == first + bits;
}

using Kinds = ModelTest;
using Layout = ModelTest;
using Fields = ModelTest;

TEST_F(Kinds, FiftyOneKindsEachALetterWithAUniqueName) {
  EXPECT_EQ(KIND_COUNT, 51);
  EXPECT_EQ(NEST, 'L');
  EXPECT_EQ(NOTE, 'e');
  EXPECT_EQ(PVIEW, '~');
  std::set<std::string> names;
  for (int k = FIRST_KIND; k <= LAST_KIND; ++k) names.insert(kind_name(k));
  EXPECT_EQ(names.size(), 51u);
  EXPECT_STREQ(kind_name(GE_CURVE), "GE_CURVE");
  EXPECT_STREQ(kind_name(ENDSYST), "ENDSYST");
  EXPECT_STREQ(kind_name(FREE), "FREE");
  EXPECT_STREQ(kind_name(75), "KIND_VALUE_OOR");
  EXPECT_STREQ(kind_name(127), "KIND_VALUE_OOR");
}

TEST_F(Kinds, RunTimeKindsHaveNoLayoutAndStoredOnesFitTheRecord) {
  std::set<int> run_time = {XMLT, COPY,  VOICES, PLAY, ROD,    SPRING, UNDO,
                            MARK, RNOTE, FREE,   NA,   NTVIEW, PVIEW};
  for (int k = FIRST_KIND; k <= LAST_KIND; ++k) {
    std::string layout = layout_string(k);
    EXPECT_EQ(layout.empty(), run_time.count(k) == 1) << kind_name(k);
    if (layout.empty()) continue;
    // The kind byte, then the context byte (a flags byte for graphics elements).
    EXPECT_EQ(layout[0], '1') << kind_name(k);
    EXPECT_TRUE(layout[1] == '1' || (is_graphics_element_kind(k) && layout[1] == '('))
        << kind_name(k);
    EXPECT_LE(layout_bytes(layout), 56) << kind_name(k);
  }
  EXPECT_EQ(layout_bytes(layout_string(NOTE)), 24);
  EXPECT_EQ(layout_bytes(layout_string(PARAM)), 26);
}

// A named field lies exactly on one field of its layout string, or in the bytes past the
// string's end, which are stored too but need no conversion; a flag may also sit inside a
// one-byte field (bytes need no conversion).
TEST_F(Layout, EveryNamedFieldLiesOnAFieldOfItsLayout) {
  for (const NodeField* f : all_fields()) {
    for (int kind : {int(f->kind), int(f->kind2)}) {
      if (!kind) continue;
      std::vector<Span> spans = decode_layout(layout_string(kind));
      Span s = span_of(*f);
      bool exact = s.first_bit >= (8 + layout_bytes(layout_string(kind))) * 8;
      EXPECT_LE(s.first_bit + s.bits, DROSA_NODE_SIZE * 8) << f->name;
      for (Span l : spans) {
        exact |= l.first_bit == s.first_bit && l.bits == s.bits;
        exact |=
            l.bits == 8 && s.first_bit >= l.first_bit && s.first_bit + s.bits <= l.first_bit + 8;
      }
      EXPECT_TRUE(exact) << f->name << " of " << kind_name(kind) << " at bit " << s.first_bit
                         << " width " << s.bits;
    }
  }
}

TEST_F(Layout, TablesAndTextsCoverWholeFields) {
  auto check = [](const char* name, int kind, int offset, int bytes) {
    EXPECT_TRUE(covers_whole_fields(decode_layout(layout_string(kind)), offset * 8, bytes * 8))
        << name;
  };
  check(xspacc_entry.name, SPACC, xspacc_entry.offset, xspacc_entry.count);
  check(xkeysig_entry.name, KEYSIG, xkeysig_entry.offset, xkeysig_entry.count);
  check(xbvalue.name, BEAMING, xbvalue.offset, xbvalue.count * 4);
  check(xpname.name, VINFO, xpname.offset, xpname.size);
}

TEST_F(Layout, FieldNamesAreUnique) {
  std::set<std::string> names;
  for (const NodeField* f : all_fields()) EXPECT_TRUE(names.insert(f->name).second) << f->name;
}

// Extreme values of a field's type and width.
std::pair<int64_t, int64_t> extremes(const NodeField& f) {
  if (f.is_signed) return {-(int64_t(1) << (f.bits - 1)), (int64_t(1) << (f.bits - 1)) - 1};
  return {0, (int64_t(1) << f.bits) - 1};
}

template <typename T>
void round_trip(Drosa node, const Field<T>& f, int64_t value) {
  node->set(f, static_cast<T>(value));
  EXPECT_EQ(int64_t(node->get(f)), value) << f.name;
}

// Sets and reads back a field through its own type.
void set_and_check(Drosa node, const NodeField& f, int64_t value) {
  if (f.bytes == 4 && f.is_signed)
    return round_trip(node, static_cast<const Field<int32_t>&>(f), value);
  if (f.bytes == 4) return round_trip(node, static_cast<const Field<uint32_t>&>(f), value);
  if (f.bytes == 2 && f.is_signed)
    return round_trip(node, static_cast<const Field<int16_t>&>(f), value);
  if (f.bytes == 2) return round_trip(node, static_cast<const Field<uint16_t>&>(f), value);
  if (f.bits == 8 && f.is_signed)
    return round_trip(node, static_cast<const Field<int8_t>&>(f), value);
  if (f.bits == 8) return round_trip(node, static_cast<const Field<uint8_t>&>(f), value);
  return round_trip(node, static_cast<const Field<int>&>(f), value);
}

TEST_F(Fields, ExtremeValuesRoundTripAndTouchNoOtherBit) {
  for (const NodeField* f : all_fields()) {
    Drosa node = newDrosa(f->kind, 0);
    for (uint8_t fill : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x5A)}) {
      std::memset(node->payload, fill, DROSA_PAYLOAD_SIZE);
      uint8_t before[DROSA_NODE_SIZE];
      std::memcpy(before, node->bytes(), DROSA_NODE_SIZE);
      auto [low, high] = extremes(*f);
      for (int64_t value : {low, high, low, int64_t(0)}) {
        set_and_check(node, *f, value);
        Span s = span_of(*f);
        for (int bit = 0; bit < DROSA_NODE_SIZE * 8; ++bit) {
          if (bit >= s.first_bit && bit < s.first_bit + s.bits) continue;
          int mask = 0x80 >> (bit % 8);
          ASSERT_EQ(node->bytes()[bit / 8] & mask, before[bit / 8] & mask)
              << f->name << " changed node bit " << bit << " (byte " << bit / 8 << ")";
        }
      }
    }
    destroyDrosa(node);
  }
}

TEST_F(Fields, TableEntriesRoundTripAndBadIndexesAreRefused) {
  Drosa beaming = newDrosa(BEAMING, 0);
  for (int i = 0; i < 4; ++i) beaming->set(xbvalue, i, i == 3 ? INT32_MIN : 16384 * (i + 1));
  EXPECT_EQ(beaming->get(xbvalue, 0), 16384);
  EXPECT_EQ(beaming->get(xbvalue, 2), 49152);
  EXPECT_EQ(beaming->get(xbvalue, 3), INT32_MIN);
  EXPECT_EQ(beaming->get(xsbvalue), 0);
  Drosa key = newDrosa(KEYSIG, 0);
  key->set(xkeysig_entry, 13, 27);
  EXPECT_EQ(node_byte(key, 24), 27);
  EXPECT_EQ(key->get(xkey), 0);
  EXPECT_EQ(key->get(xkeysig_entry, 14), 0);
  key->set(xkeysig_entry, -1, 9);
  EXPECT_EQ(take_reports().size(), 2u);
  EXPECT_EQ(node_byte(key, 10), 0);
}

TEST_F(Fields, PartNameKeepsFifteenCharactersAndReadsDamagedNamesSafely) {
  Drosa v = newDrosa(VINFO, 0);
  v->set(xmidichan, 9);
  v->set(xpname, "Flute");
  EXPECT_EQ(v->get(xpname), "Flute");
  v->set(xpname, "Contrabassoon and tuba");
  EXPECT_EQ(v->get(xpname), "Contrabassoon a");
  EXPECT_EQ(node_byte(v, 25), 0);
  EXPECT_EQ(v->get(xmidichan), 9);
  std::memset(v->bytes() + 10, 'A', 16);  // no terminator, as in a damaged file
  EXPECT_EQ(v->get(xpname), std::string(15, 'A'));
}

}  // namespace
