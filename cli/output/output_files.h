// Output files written under temporary names in their final folders and
// renamed into place only when every one of them is complete, so a failed
// run leaves none of them behind, half-written or otherwise, and the files
// they would have replaced as they were.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace elvhost {

// What a name leads to: the file's device and inode when it exists, and its
// normalised absolute path, links resolved, either way.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::string path;
};
FileIdentity identityOf(const std::string &name);

// Whether two names are one file: by device and inode when both exist,
// otherwise by their normalised absolute paths, links resolved.
bool sameFile(const std::string &a, const std::string &b);

class OutputSet {
public:
  OutputSet() = default;
  // Removes every temporary file not yet committed.
  ~OutputSet();
  OutputSet(const OutputSet &) = delete;
  OutputSet &operator=(const OutputSet &) = delete;

  // Creates a new temporary file beside finalPath for writing in binary mode.
  // Returns null, with the reason naming finalPath in error, when it cannot.
  // The stream belongs to the set.
  std::FILE *create(const std::string &finalPath, std::string *error);

  // Creates a file with exactly this text.
  bool writeText(const std::string &finalPath, const std::string &text, std::string *error);

  // Flushes and closes every file, then renames each into place. On failure
  // (a write or close error, a rename refused) removes the temporary files,
  // puts back what the renamed ones replaced, and says why in error.
  bool commit(std::string *error);

private:
  struct Entry {
    std::string finalPath;
    std::string tempPath;
    std::string backupPath; // the file finalPath named before: a second link, or moved aside
    std::FILE *stream = nullptr;
    bool placed = false;
  };
  void discard();
  std::vector<Entry> entries_;
};

} // namespace elvhost
