// The round trip's measure of sameness for -J documents: two documents of
// one file match when they differ only where a build may make them differ.
#pragma once

#include <string>
#include <string_view>

namespace afdtest {

// "" when `rebuilt` (the -J document of a file built from `original`) equals
// `original` apart from the file's name, record offsets and links (facilities
// are matched by their place in the document), header and trailer bounds that
// the build widened (never shrunk), and the problems; otherwise the first
// difference.
std::string compare_documents(std::string_view original, std::string_view rebuilt);

}  // namespace afdtest
