// Tests that the lookup indexes answer exactly as walks over the Catalogue would.
#include "scan/lookup.h"

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "scan/scan.h"
#include "tool_test_util.h"

namespace quarnel::testing {
namespace {

using namespace afdtest::levels;

constexpr int32_t kHead = 0x30001, kEntry = 0x30002;

// What the lookups mean: walks from the first entry. The indexes must give
// these answers for every catalogue, however odd.
const CatalogueEntry* walk_by_name(const RunState& rs, int32_t kind, std::string_view name) {
  for (std::size_t i = 0; i < rs.catalogue.count; ++i) {
    const CatalogueEntry& e = rs.catalogue[i];
    if (kind != 0 && e.kind != kind) return nullptr;
    if (e.name != nullptr && name == e.name) return &e;
  }
  return nullptr;
}

// The first of the leading facilities of `kind` whose name is alike.
const CatalogueEntry* walk_alike(const RunState& rs, int32_t kind, std::string_view name) {
  for (std::size_t i = 0; i < rs.catalogue.count && is_facility(rs.catalogue[i]); ++i) {
    const CatalogueEntry& e = rs.catalogue[i];
    if (e.kind == kind && e.name != nullptr && names_alike(name, e.name)) return &e;
  }
  return nullptr;
}

const CatalogueEntry* walk_by_offset(const RunState& rs, uint32_t offset, bool only_selected) {
  for (std::size_t i = 0; i < rs.catalogue.count; ++i) {
    const CatalogueEntry& e = rs.catalogue[i];
    if (e.kind > kSubtypeNdb) return nullptr;
    if (e.base_offset == offset) return only_selected && !is_selected(e) ? nullptr : &e;
  }
  return nullptr;
}

class LookupTest : public ToolTest {
 protected:
  void clear() {
    rs.catalogue.count = 0;
    rs.catalogue.name_pool_fill = 0;
    invalidate_lookups(rs.catalogue);
  }

  CatalogueEntry& append(int32_t kind, const char* name, uint32_t offset,
                         Origin origin = Origin::kFirstInput) {
    CatalogueEntry& e = rs.catalogue[rs.catalogue.count++];
    e = CatalogueEntry{};
    e.kind = kind;
    e.name = name != nullptr ? add_name(rs.catalogue, name, false) : nullptr;
    e.base_offset = offset;
    e.origin = origin;
    return e;
  }

  // Every name of `names` (and a few that are in no entry) for every kind, and
  // every offset up to `max_offset`, against the walks. Kind 1 comes first, so
  // that kind 0 finds a name table made for the leading run only.
  void expect_walk_answers(const std::vector<std::string>& names, uint32_t max_offset,
                           const std::string& what) {
    std::vector<std::string> queries = names;
    queries.insert(queries.end(), {"", "NOWHERE", std::string("N1\0X", 4), "N1 "});
    for (const int32_t kind : {1, 0, 2, 3, kHead, kEntry, 7, -1}) {
      for (const std::string& q : queries) {
        ASSERT_EQ(find_airport_by_name(rs.catalogue, kind, q), walk_by_name(rs, kind, q))
            << what << ": kind " << kind << ", name \"" << q << "\"";
        ASSERT_EQ(find_facility_alike(rs.catalogue, kind, q), walk_alike(rs, kind, q))
            << what << ": kind " << kind << ", a name alike \"" << q << "\"";
      }
    }
    for (uint32_t off = 0; off <= max_offset + 2; ++off) {
      for (const bool only : {false, true}) {
        ASSERT_EQ(find_facility_by_offset(rs.catalogue, off, only), walk_by_offset(rs, off, only))
            << what << ": offset " << off << ", only_selected " << only;
      }
    }
  }
};

// Catalogues of every shape: a leading run of airports or none, navaids and
// name-list entries mixed in, facilities behind name-list entries, kinds no
// scan makes, shared names, shared offsets, names that did not fit, and every
// kind of origin.
TEST_F(LookupTest, RandomCataloguesGiveTheWalksAnswers) {
  std::mt19937 rng(20261207);
  const int32_t kinds[] = {1, 1, 1, 2, 3, kHead, kEntry, kEntry, 0, -4, 7};
  const Origin origins[] = {Origin::kNone, Origin::kFirstInput, Origin::kSecondInput};
  for (int round = 0; round < 300; ++round) {
    clear();
    // The first round's catalogue is empty.
    const std::size_t n = round == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, 120)(rng);
    const std::size_t run = std::uniform_int_distribution<std::size_t>(0, n)(rng);
    const int distinct = std::uniform_int_distribution<int>(1, 40)(rng);
    const auto max_offset = static_cast<uint32_t>(std::uniform_int_distribution<int>(1, 150)(rng));
    // Offsets that rise as a scan makes them, some rounds with pairs of equal
    // ones; the other rounds in no order at all.
    const bool rising = round % 3 == 0;
    const std::size_t step = round % 2 == 0 ? 1 : 2;
    std::vector<std::string> names;
    for (int k = 0; k < distinct; ++k) names.push_back(afdtest::numbered("N", k));
    // Names alike others, which the exact lookups must tell apart.
    for (const char* alike :
         {"n1", " N2", "N3\t", "LONGER NAME 1", "longer name 1 ", "\xE9t\xE9", "\xC9T\xC9"}) {
      names.push_back(alike);
    }
    names.push_back("");
    for (std::size_t i = 0; i < n; ++i) {
      const int32_t kind =
          i < run ? (round % 2 == 0 ? 1 : kinds[round % 11]) : kinds[rng() % std::size(kinds)];
      const std::string& name = names[rng() % names.size()];
      const auto offset = rising ? static_cast<uint32_t>(168 + 10 * (i / step))
                                 : static_cast<uint32_t>(rng() % (max_offset + 1));
      append(kind, rng() % 20 == 0 ? nullptr : name.c_str(), offset,
             origins[rng() % std::size(origins)]);
      // A lookup in the middle of filling must not leave a stale index behind.
      if (i == n / 2) (void)find_airport_by_name(rs.catalogue, 1, name);
    }
    expect_walk_answers(names, rising ? static_cast<uint32_t>(168 + 10 * n) : max_offset,
                        afdtest::numbered("round ", round));
  }
}

TEST_F(LookupTest, FullCatalogueOfDistinctAndOfEqualNames) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < kCatalogueCapacity; ++i) names.push_back(afdtest::numbered("A", i));
  clear();
  for (std::size_t i = 0; i + 1 < kCatalogueCapacity; ++i) {
    append(1, names[i].c_str(), static_cast<uint32_t>(168 + 8 * i));
  }
  append(2, names.back().c_str(), 1);
  for (std::size_t i = 0; i + 1 < kCatalogueCapacity; i += 97) {
    ASSERT_EQ(find_airport_by_name(rs.catalogue, 1, names[i]), &rs.catalogue[i]) << i;
    ASSERT_EQ(find_facility_by_offset(rs.catalogue, static_cast<uint32_t>(168 + 8 * i), true),
              &rs.catalogue[i]);
  }
  // The last entry is a VOR: outside the run of airports, but seen by kind 0.
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, names.back()), nullptr);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 0, names.back()),
            &rs.catalogue[kCatalogueCapacity - 1]);
  EXPECT_EQ(find_facility_by_offset(rs.catalogue, 1, false), &rs.catalogue[kCatalogueCapacity - 1]);

  clear();
  for (std::size_t i = 0; i < kCatalogueCapacity; ++i) append(1, "SAME", 500);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, "SAME"), &rs.catalogue[0]);
  EXPECT_EQ(find_facility_by_offset(rs.catalogue, 500, false), &rs.catalogue[0]);
  rs.catalogue[0].origin = Origin::kNone;  // origin is read at lookup time, not indexed
  EXPECT_EQ(find_facility_by_offset(rs.catalogue, 500, true), nullptr);
}

TEST(NamesAlike, DifferOnlyInCaseAndEndBlanks) {
  struct Case {
    const char* a;
    const char* b;
    bool alike;
  };
  for (const Case& c :
       {Case{"HAMBURG", "Hamburg", true}, Case{"HAMBURG", " HAMBURG\t", true},
        Case{"M\xDCNCHEN", "m\xFCnchen", true}, Case{"\x8A", "\x9A", true},
        Case{"\x9F", "\xFF", true}, Case{"", "  ", true}, Case{"HAM BURG", "HAMBURG", false},
        Case{"HAMBURG", "HAMBURG2", false}, Case{"\xD7", "\xF7", false}, Case{"A", "B", false}}) {
    EXPECT_EQ(names_alike(c.a, c.b), c.alike) << c.a << " / " << c.b;
    EXPECT_EQ(names_alike(c.b, c.a), c.alike) << c.b << " / " << c.a;
    if (c.alike) {
      EXPECT_EQ(lookup_name_hash(c.a), lookup_name_hash(c.b)) << c.a << " / " << c.b;
    }
  }
}

// Two different names that land on one hash: the index must still compare the
// names themselves.
TEST_F(LookupTest, NamesSharingAHashAreToldApart) {
  std::unordered_map<uint32_t, std::string> seen;
  seen.reserve(1 << 20);
  std::string a, b;
  for (int i = 0; a.empty() && i < 2000000; ++i) {
    std::string name = afdtest::numbered("C", i);
    const auto [it, fresh] = seen.emplace(lookup_name_hash(name), name);
    if (!fresh) a = it->second, b = name;
  }
  ASSERT_FALSE(a.empty()) << "no two names with one hash found";
  ASSERT_EQ(lookup_name_hash(a), lookup_name_hash(b));
  clear();
  append(1, a.c_str(), 168);
  append(1, b.c_str(), 200);
  append(1, a.c_str(), 232);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, b), &rs.catalogue[1]);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, a), &rs.catalogue[0]);
  clear();
  append(1, b.c_str(), 168);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, a), nullptr);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, b), &rs.catalogue[0]);
}

// A second scan must be answered from its own entries, not from the first
// scan's index, whether it catalogues as many entries as the first or not.
TEST_F(LookupTest, ANewScanIsAnsweredFromItsOwnEntries) {
  AfdBuilder alpha;
  alpha.add(Facility::airport("ALPHA"));
  scan(alpha.build());
  ASSERT_EQ(find_airport_by_name(rs.catalogue, 1, "ALPHA"), &rs.catalogue[0]);
  AfdBuilder omega;
  omega.add(Facility::airport("OMEGA"));
  rs.first_input.close();
  scan(omega.build());
  ASSERT_EQ(rs.catalogue.count, 1u);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, "ALPHA"), nullptr);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, "OMEGA"), &rs.catalogue[0]);

  AfdBuilder first;
  first.add(Facility::airport("ALPHA"));
  first.add(Facility::airport("BRAVO"));
  first.add_list().entries = {NameRef(kCity, "CITY")};
  afdtest::Layout first_at;
  rs.first_input.close();
  scan(first.build(&first_at));
  ASSERT_NE(find_airport_by_name(rs.catalogue, 1, "BRAVO"), nullptr);
  ASSERT_NE(find_facility_by_offset(rs.catalogue, first_at.facility_offsets[1], false), nullptr);

  AfdBuilder second;
  second.add(Facility::airport("CHARLIE"));
  Facility bigger = Facility::airport("BRAVO");
  bigger.extra.push_back({0x10010, afdtest::Bytes(100, 1)});
  second.add(bigger);
  second.add(Facility::vor("BRAVO VOR"));
  second.add_list().entries = {NameRef(kCity, "CITY")};
  afdtest::Layout second_at;
  rs.first_input.close();
  const std::size_t count_before = rs.catalogue.count;
  scan(second.build(&second_at));
  ASSERT_EQ(rs.catalogue.count, count_before + 1);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, "ALPHA"), nullptr);
  EXPECT_EQ(find_airport_by_name(rs.catalogue, 1, "BRAVO"), &rs.catalogue[1]);
  EXPECT_EQ(find_facility_by_offset(rs.catalogue, second_at.facility_offsets[1], false),
            &rs.catalogue[1]);
  EXPECT_EQ(find_facility_by_offset(rs.catalogue, second_at.facility_offsets[2], false),
            &rs.catalogue[2]);
}

}  // namespace
}  // namespace quarnel::testing
