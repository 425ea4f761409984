// Folders of scenery: the files under one, and where a path stands against
// one. Portable, over std::filesystem; paths stay the byte strings the tool
// was given and opens.
#pragma once

#include <string>
#include <vector>

namespace quarnel {

struct FolderFile {
  enum Kind { kRegular, kLinkedFolder, kOther };
  std::string path;
  Kind kind;  // kRegular: a regular file, or a link to one
};

// Whether `path` names a folder (or a link to one).
bool is_folder(const std::string& path);

// Fills `files` with every file under `folder`, at any depth, in byte order
// of their paths. Folders are entered, not listed; links to folders are not
// followed, so no walk runs in a circle. Returns false, with `unread` naming
// the folder that could not be read and `error` the system's error number
// (errno), when one cannot.
bool list_files_under(const std::string& folder, std::vector<FolderFile>* files,
                      std::string* unread, int* error);

// Whether `path` names anything that exists, a folder included.
bool file_exists(const std::string& path);

// Whether both paths name one existing file, through links or not.
bool same_file(const std::string& a, const std::string& b);

// Whether `path`, which need not exist yet, lies inside `folder`, at any depth,
// once links are followed.
bool lies_inside(const std::string& path, const std::string& folder);

}  // namespace quarnel
