// Catches what the plug-in prints on standard error while one of its
// callbacks runs, so that a failure is still reported as one line.
#pragma once

#include <cstdio>
#include <string>

namespace elvhost {

class StderrCapture {
public:
  // Redirects file descriptor 2 into a temporary file; when that is not
  // possible nothing is captured and the text goes to standard error as usual.
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture &) = delete;
  StderrCapture &operator=(const StderrCapture &) = delete;

  // Restores standard error and returns what was printed meanwhile, its
  // lines joined by "; " without the final line break. Later calls return "".
  std::string finish();

private:
  std::FILE *sink_ = nullptr;
  int saved_ = -1;
};

} // namespace elvhost
