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
// A name whose normalised path cannot be made (a component too long, say)
// is one file with no other name.
bool sameFile(const std::string &a, const std::string &b);

// Empty when an output may be written at path: nothing is there, or a
// regular file (through links). Otherwise why not, naming path: a device,
// a FIFO, a folder or a socket is never replaced by an output, and a name
// the system refuses (too long, say) is refused before any work.
std::string outputProblem(const std::string &path);

// Removes what a process writing finalPath left when it was killed before
// it could clean up (SIGKILL): the temporary files beside finalPath that
// bear its name.
void removeTemporariesOf(const std::string &finalPath);

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

  // Flushes and closes every file, then renames each into place; a file that
  // replaces another takes its permission bits. On failure
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
