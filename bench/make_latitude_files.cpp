// Writes files whose airports stand near and beyond the poles, for the
// cross-build comparison: the widening of a coverage box turns their mean
// latitude into a cosine, and those are the values where builds could part.
//   make_latitude_files <folder>
// Each lat-NNN.bgl holds one to three airports (the last one AI); names.txt
// lists every airport name, one a line, for the extract command.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "afd_builder.h"

using afdtest::AfdBuilder;
using afdtest::Facility;

namespace {

constexpr double kRawPerDegree = 10001750.0 / 90.0;
constexpr int32_t kLatitudeLimit = 1280224000;

int32_t raw_of(double degrees) { return static_cast<int32_t>(std::lround(degrees * kRawPerDegree)); }

// Latitudes (raw) where a build's arithmetic or cosine could tell: around the
// mean whose cosine crosses 0.1, at and past the poles, far past them (damaged
// files), and at the ends of the 32-bit range and of the clamp.
std::vector<int32_t> interesting_latitudes() {
  std::vector<int32_t> out;
  for (double d : {0.0, 45.0, 60.0, 84.0, 84.2, 84.25, 84.3, 85.0, 89.9, 90.0, 90.00002, 95.0, 135.0,
                   180.0, 270.0, 1000.0, 9661.9}) {
    out.push_back(raw_of(d));
    out.push_back(raw_of(-d));
  }
  // The first mean whose factor is clamped, and its neighbours.
  int32_t crossing = raw_of(84.0);
  while (std::cos(std::fabs(crossing * 90.0 / 10001750.0) * 3.141592653589793 / 180.0) >= 0.1) {
    ++crossing;
  }
  for (int32_t k = -3; k <= 3; ++k) {
    out.push_back(crossing + k);
    out.push_back(-(crossing + k));
  }
  for (int32_t v : {INT32_MAX, INT32_MAX - 1, INT32_MIN, INT32_MIN + 1, kLatitudeLimit,
                    kLatitudeLimit + 1, -kLatitudeLimit, -kLatitudeLimit - 1, 1 << 30,
                    -(1 << 30), (1 << 30) - 1}) {
    out.push_back(v);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_latitude_files <folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::vector<int32_t> lats = interesting_latitudes();
  const int32_t lons[] = {0, 18000000, -18000000, INT32_MAX - 20000, INT32_MIN + 20000, 1000};
  std::mt19937 rng(17);
  std::string names;
  int files = 0;
  const auto write = [&](const std::vector<int32_t>& picks) {
    AfdBuilder b;
    b.bounds = {0, 0, 0, 0};
    for (std::size_t i = 0; i < picks.size(); ++i) {
      const std::string name = afdtest::numbered("POLE ", files * 10 + static_cast<long>(i));
      const int32_t lon = lons[(files + i) % std::size(lons)];
      b.add(Facility::airport(name, picks[i], lon, i + 1 == picks.size()));
      names += name + "\n";
    }
    char file[64];
    std::snprintf(file, sizeof file, "/lat-%03d.bgl", files++);
    afdtest::write_file(dir + file, b.build());
  };
  // Every latitude alone, then pairs and triples drawn from them.
  for (int32_t lat : lats) write({lat});
  std::uniform_int_distribution<std::size_t> pick(0, lats.size() - 1);
  for (int i = 0; i < 60; ++i) write({lats[pick(rng)], lats[pick(rng)]});
  for (int i = 0; i < 20; ++i) write({lats[pick(rng)], lats[pick(rng)], lats[pick(rng)]});
  afdtest::write_file(dir + "/names.txt", afdtest::Bytes(names.begin(), names.end()));
  std::printf("%d files\n", files);
  return 0;
}
