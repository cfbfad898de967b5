#include "cli/stderr_capture.h"

#if defined(_WIN32)
#include <io.h>
#define ELVHOST_DUP _dup
#define ELVHOST_DUP2 _dup2
#define ELVHOST_CLOSE _close
#define ELVHOST_FILENO _fileno
#else
#include <unistd.h>
#define ELVHOST_DUP dup
#define ELVHOST_DUP2 dup2
#define ELVHOST_CLOSE close
#define ELVHOST_FILENO fileno
#endif

namespace elvhost {

namespace {
constexpr int kStderr = 2;
} // namespace

StderrCapture::StderrCapture() {
  (void)std::fflush(stderr);
  sink_ = std::tmpfile();
  if (sink_ == nullptr) {
    return;
  }
  saved_ = ELVHOST_DUP(kStderr);
  if (saved_ < 0 || ELVHOST_DUP2(ELVHOST_FILENO(sink_), kStderr) < 0) {
    if (saved_ >= 0) {
      ELVHOST_CLOSE(saved_);
      saved_ = -1;
    }
    (void)std::fclose(sink_);
    sink_ = nullptr;
  }
}

StderrCapture::~StderrCapture() {
  const std::string leftover = finish();
  if (!leftover.empty()) {
    (void)std::fprintf(stderr, "%s\n", leftover.c_str());
  }
}

std::string StderrCapture::finish() {
  if (sink_ == nullptr) {
    return {};
  }
  (void)std::fflush(stderr);
  ELVHOST_DUP2(saved_, kStderr);
  ELVHOST_CLOSE(saved_);
  saved_ = -1;

  std::string text;
  std::rewind(sink_);
  char chunk[512];
  size_t got = 0;
  // A plug-in has no business printing more than a few lines; keep the
  // report to one readable line even if it does.
  constexpr size_t kMaxKept = 1000;
  while ((got = std::fread(chunk, 1, sizeof chunk, sink_)) > 0 && text.size() < kMaxKept) {
    text.append(chunk, got);
  }
  (void)std::fclose(sink_);
  sink_ = nullptr;

  std::string joined;
  for (char ch : text) {
    if (ch == '\r') {
      continue;
    }
    joined += ch == '\n' ? std::string("; ") : std::string(1, ch);
  }
  while (joined.size() >= 2 && joined.compare(joined.size() - 2, 2, "; ") == 0) {
    joined.resize(joined.size() - 2);
  }
  return joined;
}

} // namespace elvhost
