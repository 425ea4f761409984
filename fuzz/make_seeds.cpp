// Writes the seed inputs of the fuzz targets, one family of files per feature
// or damage the tool must handle. Run: make_fuzz_seeds <corpus folder> (it
// fills <folder>/statistics, <folder>/extract, <folder>/link, <folder>/inspect
// and <folder>/round_trip). The build target's seeds are the listings of
// these files; fuzz/make_build_seeds writes them with the tool.
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "afd_builder.h"

using afdtest::AfdBuilder;
using afdtest::Bytes;
using afdtest::Facility;
using afdtest::NameRef;

namespace {

using namespace afdtest::levels;

struct Named {
  std::string name;
  Bytes bytes;
};

// Every family of file the seeds cover: well-formed ones and damaged ones.
std::vector<Named> files() {
  std::vector<Named> out;
  auto add = [&out](std::string name, const AfdBuilder& b) {
    out.push_back({std::move(name), b.build()});
  };
  add("base", afdtest::sample_base());
  add("source", afdtest::sample_source());
  add("empty_lists", AfdBuilder{});
  {
    AfdBuilder b = afdtest::sample_base();
    b.magic = 0x12345678;
    add("bad_magic", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.section_tag = 2;
    add("bad_section_tag", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.format_level = 2;
    add("old_format_level", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.object_list_offset = 0xFFFFFFF0u;
    b.name_list_offset = 0x7FFFFFFFu;
    add("offsets_past_end", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.with_trailer = false;
    add("no_trailer", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.trailer_word = -1;
    b.trailer_offset = 0xFFFFFF00u;
    add("trailer_word_minus_one_far", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.facilities()[1].size_override = -8;
    add("negative_record_size", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.facilities()[0].size_override = 0x7FFFFFFF;
    add("huge_record_size", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.facilities()[0].size_override = 0;
    add("zero_record_size", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.list(0).size_override = 0;
    b.list(1).size_override = -1;
    add("list_sizes_zero_negative", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.list(0).size_override = 40;
    b.list(0).entry_count_override = 0xFFFFFFFFu;
    add("list_size_short", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.list(1).end_record = false;
    b.chain_end = false;
    b.object_list_end = false;
    add("no_end_records", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.add(Facility::raw(0x7777, Bytes(12, 0xAB)));
    Facility odd = Facility::airport("ODD");
    odd.subtype = 9;
    b.add(odd);
    b.add(Facility::airport(""));
    Facility nameless = Facility::airport("X");
    nameless.name.reset();
    b.add(nameless);
    add("unknown_types_and_subtypes", b);
  }
  {
    AfdBuilder b;
    Facility f = Facility::airport("BROKEN SUBS");
    f.extra.push_back({0x10010, Bytes(4, 0)});
    f.end_sub_record = false;
    Bytes payload = afdtest::facility_record(f);
    payload.erase(payload.begin(), payload.begin() + 8);
    afdtest::set32(payload, 12, 0x7FFFFFF0u);  // the first sub-record's size
    b.add(Facility::raw(1, payload));
    Facility shortnav = Facility::vor("V");
    shortnav.payload_override =
        Bytes{2, 0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0, 8, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    b.add(shortnav);
    Facility unterminated = Facility::airport("NO NUL");
    unterminated.payload_override =
        Bytes{1, 0, 0, 0, 0, 0, 0, 0, 6, 0, 1, 0, 3, 0, 0, 0, 'A', 'B', 'C'};
    b.add(unterminated);
    add("sub_record_damage", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    Facility big = Facility::airport("BIG", 100, 200, true);
    big.extra.push_back({0x10010, Bytes(64100, 0x5A)});
    b.add(big);
    b.add_list().entries = {{kRegion, "R"}, {kAirport, "BIG", 4}};
    add("record_larger_than_buffer", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.list(0).entries.push_back({kAirport, "DANGLING"});
    b.list(0).entries.back().raw_link = 0x12345;
    b.list(0).entries.push_back({kAirport, "AT OBJECT LIST"});
    b.list(0).entries.back().raw_link = 168 + 4;
    NameRef odd(0x99999, "ODD LEVEL", 0);
    b.list(1).entries.push_back(odd);
    NameRef raw;
    raw.type = 1;
    raw.name = "CONTAINER IN LIST";
    b.list(1).entries.push_back(raw);
    add("name_entry_damage", b);
  }
  {
    // Levels rising past the level stack: the nesting overflow of extract.
    AfdBuilder b;
    const int a = b.add(Facility::airport("DEEP"));
    b.add_list().entries = {{kRegion, "R"},        {kCountry, "C"}, {kState, "S"}, {kCity, "T"},
                            {kAirport, "DEEP", a}, {kVor, "V", a},  {kNdb, "N", a}};
    add("deep_nesting", b);
  }
  {
    AfdBuilder b;
    for (int i = 0; i < 80; ++i)
      b.add(Facility::airport("A" + std::to_string(i), i * 1000, -i * 1000, i % 3 == 0));
    auto& list = b.add_list();
    for (int i = 0; i < 80; ++i) list.entries.push_back({kAirport, "A" + std::to_string(i), i});
    add("many_airports", b);
  }
  {
    AfdBuilder b = afdtest::sample_base();
    b.add(Facility::airport(std::string(300, 'L')));
    b.add(Facility::airport("HAMBURG", 1, 1));  // a second airport of the same name
    add("long_and_duplicate_names", b);
  }
  {
    Bytes header = afdtest::sample_base().build();
    header.resize(168);
    out.push_back({"headers_only", header});
    header.resize(130);
    out.push_back({"cut_in_section_header", header});
    out.push_back({"empty_file", Bytes{}});
  }
  return out;
}

// Names of every byte value, for the JSON listing's encoding.
Bytes hostile_names() {
  std::string every;
  for (int c = 1; c < 256; ++c) every += static_cast<char>(c);
  AfdBuilder b;
  const int a = b.add(Facility::airport(every, -5, 5, true));
  b.add(Facility::vor(every));
  b.add_list().entries = {{kRegion, every}, {kAirport, every, a}, {0x7FFFFFFF, "\x7F\x9D"}};
  return b.build();
}

Bytes extract_input(const std::vector<std::string>& names, const Bytes& file) {
  Bytes in;
  in.push_back(static_cast<uint8_t>(names.size()));
  for (const std::string& n : names) {
    in.insert(in.end(), n.begin(), n.end());
    in.push_back(0);
  }
  in.insert(in.end(), file.begin(), file.end());
  return in;
}

Bytes link_input(uint8_t flags, const Bytes& base, const Bytes& source) {
  Bytes in;
  in.push_back(flags);
  afdtest::put32(in, static_cast<uint32_t>(base.size()));
  in.insert(in.end(), base.begin(), base.end());
  in.insert(in.end(), source.begin(), source.end());
  return in;
}

void write(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes) {
  std::filesystem::create_directories(dir);
  afdtest::write_file((dir / name).string(), bytes);
}

}  // namespace

// A source for the merge: new airports and a navaid filed under paths the
// sample base holds in part, in whole and not at all, and one filed deeper
// than the merge follows.
Bytes merge_source() {
  AfdBuilder s = afdtest::sample_source();
  const int calden = s.add(Facility::airport("CALDEN", 5140500, 940500));
  const int ndb = s.add(Facility::ndb("KASSEL NDB"));
  const int haneda = s.add(Facility::airport("HANEDA", 3550000, 13970000, true));
  const int deep = s.add(Facility::airport("DEEP", 1, 1));
  const std::vector<NameRef> kassel = {
      {kRegion, "EUROPE"}, {kCountry, "GERMANY"}, {kState, "HESSEN"}, {kCity, "KASSEL"}};
  afdtest::NameList& list = s.add_list();
  list.file(kassel, {kAirport, "KASSEL", 2});
  list.file(kassel, {kAirport, "CALDEN", calden});
  list.file(kassel, {kNdb, "KASSEL NDB", ndb});
  s.add_list().file({{kRegion, "ASIA"}, {kCountry, "JAPAN"}, {kCity, "TOKYO"}},
                    {kAirport, "HANEDA", haneda});
  afdtest::NameList& deep_list = s.add_list();
  for (int level = 1; level <= 20; ++level) deep_list.entries.emplace_back(level, "LEVEL");
  deep_list.entries.emplace_back(kAirport, "DEEP", deep);
  return s.build();
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds <corpus folder>\n");
    return 2;
  }
  const std::filesystem::path root = argv[1];
  const Bytes source = afdtest::sample_source().build();
  std::vector<std::string> too_many;
  too_many.reserve(65);
  for (int i = 0; i < 65; ++i) too_many.push_back("A" + std::to_string(i));
  for (const Named& f : files()) {
    write(root / "statistics", "seed_" + f.name, f.bytes);
    write(root / "extract", "seed_" + f.name,
          extract_input({"HAMBURG", "BREMEN", "DEEP", "BIG", "A7"}, f.bytes));
    write(root / "link", "seed_" + f.name, link_input(0, f.bytes, source));
    write(root / "inspect", "seed_" + f.name, f.bytes);
    write(root / "round_trip", "seed_" + f.name, f.bytes);
  }
  write(root / "extract", "seed_too_many_names", extract_input(too_many, files()[0].bytes));
  write(root / "extract", "seed_unknown_name", extract_input({"NOWHERE"}, files()[0].bytes));
  write(root / "extract", "seed_vor_name", extract_input({"HAMBURG VOR"}, files()[0].bytes));
  write(root / "inspect", "seed_hostile_names", hostile_names());
  write(root / "link", "seed_output_is_base", link_input(1, files()[0].bytes, source));
  write(root / "link", "seed_older_output", link_input(2, files()[0].bytes, source));
  write(root / "link", "seed_source_is_base", link_input(0, files()[0].bytes, files()[0].bytes));
  write(root / "link", "seed_no_match", link_input(2, files()[0].bytes, files()[2].bytes));
  write(root / "link", "seed_merge_paths", link_input(0, files()[0].bytes, merge_source()));
  return 0;
}
