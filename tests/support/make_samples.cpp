// Writes the bundled sample files: a small base file and a source file whose
// airports replace some of the base's. Run: make_samples <folder>
#include <cstdio>
#include <string>

#include "afd_builder.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_samples <folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  afdtest::write_file(dir + "/base.bgl", afdtest::sample_base().build());
  afdtest::write_file(dir + "/source.bgl", afdtest::sample_source().build());
  return 0;
}
