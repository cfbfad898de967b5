// elvarin-host convert IN... --output-dir DIR: many files, several at a time.
// The plug-in's open-file table is process-wide and unlocked, so its
// callbacks may never run on two threads at once: each file is converted in
// a child process of its own, with its own host session, exactly as a single
// convert does it. The children's standard error comes back through pipes
// and is passed on a whole line at a time, so messages never interleave.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>
#include <thread>

#include "cli/commands/commands.h"
#include "cli/commands/errors.h"
#include "cli/commands/output_plan.h"
#include "cli/formats/image_output.h"
#include "cli/formats/side_files.h"
#include "cli/output/output_files.h"
#include "cli/output/progress.h"

namespace elvhost {

namespace {

namespace fs = std::filesystem;

// The children running, where a signal handler can reach them: a batch
// stopped by a signal stops its conversions too, and each child then removes
// its own temporary files.
constexpr int kMaxJobs = 256;
volatile std::sig_atomic_t runningPids[kMaxJobs];
constexpr int kForwardedSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void stopChildrenAndDie(int signal) {
  for (const volatile std::sig_atomic_t &pid : runningPids) {
    if (pid > 0) {
      (void)kill(static_cast<pid_t>(pid), signal); // async-signal-safe
    }
  }
  (void)std::signal(signal, SIG_DFL);
  (void)std::raise(signal);
}

void trackChild(pid_t pid, bool running) {
  for (volatile std::sig_atomic_t &slot : runningPids) {
    if (running ? slot == 0 : slot == pid) {
      slot = running ? pid : 0;
      return;
    }
  }
}

struct Child {
  size_t file = 0; // index into the inputs
  pid_t pid = -1;
  int err = -1;     // read end of the child's standard error
  std::string held; // the start of a line not yet complete
};

// Passes on every complete line in child->held, breaking the progress line
// first; with `all`, the rest too, as a line of its own. --stats lines gain
// the input's name, which a single convert leaves out.
void relayLines(Child *child, const std::string &input, ProgressLine *line, bool all) {
  static const std::string kStats = "elvarin-host: stats: ";
  std::string &held = child->held;
  if (all && !held.empty() && held.back() != '\n') {
    held.push_back('\n');
  }
  std::string lines;
  size_t start = 0;
  for (size_t end = held.find('\n'); end != std::string::npos; end = held.find('\n', start)) {
    const std::string_view text(held.data() + start, end + 1 - start);
    if (text.starts_with(kStats)) {
      lines.append(kStats).append(shownName(input)).append(": ").append(text.substr(kStats.size()));
    } else {
      lines.append(text);
    }
    start = end + 1;
  }
  held.erase(0, start);
  if (!lines.empty()) {
    line->breakLine();
    (void)std::fwrite(lines.data(), 1, lines.size(), stderr);
    (void)std::fflush(stderr);
  }
}

// Starts the conversion of options.inputs[file] in a child process whose
// standard error is a pipe back to us. Returns false, with the reason in
// error, when the pipe or the process cannot be made.
bool startChild(const ConvertOptions &options, const std::string &output, size_t file,
                const std::vector<Child> &running, Child *child, std::string *error) {
  int fds[2];
  if (pipe(fds) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  (void)std::fflush(nullptr); // nothing buffered is written twice
  const pid_t pid = fork();
  if (pid < 0) {
    *error = std::strerror(errno);
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    for (const int signal : kForwardedSignals) {
      (void)std::signal(signal, SIG_DFL);
    }
    for (const Child &other : running) {
      close(other.err);
    }
    close(fds[0]);
    (void)dup2(fds[1], STDERR_FILENO);
    close(fds[1]);
    ConvertOptions single = options;
    single.input = options.inputs[file];
    single.output = output;
    single.progress = false; // the batch has the one progress line
    single.inputs.clear();
    single.outputDir.clear();
    int code = kExitFailure;
    try {
      code = runConvert(single);
    } catch (...) {
      reportFailure(single.input + ": unexpected failure");
    }
    (void)std::fflush(nullptr);
    _exit(code);
  }
  close(fds[1]);
  trackChild(pid, true);
  child->file = file;
  child->pid = pid;
  child->err = fds[0];
  return true;
}

// The child's outcome once its standard error has closed: true when it
// converted its file; says so when a signal stopped it, and removes the
// temporary files of output that a signal it could not catch left.
bool reapChild(const Child &child, const std::string &input, const std::string &output,
               ImageFormat format) {
  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0) {
    if (errno != EINTR) {
      trackChild(child.pid, false);
      reportFailure(input + ": lost track of its conversion (" + std::strerror(errno) + ")");
      return false;
    }
  }
  trackChild(child.pid, false);
  if (WIFSIGNALED(status)) {
    for (const NamedOutput &file : convertOutputs(output, format)) {
      removeTemporariesOf(file.path);
    }
    reportFailure(input + ": the conversion was stopped by signal " +
                  std::to_string(WTERMSIG(status)));
    return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == kExitOk;
}

// The batch's image format: --format's, else GeoTIFF for --type int16 and
// PNG otherwise. kExitOk, or the usage failure's code once it is reported.
int batchFormat(const ConvertOptions &options, ImageFormat *format) {
  *format = options.int16 ? ImageFormat::Tiff : ImageFormat::Png;
  if (!options.format.empty() && !imageFormatNamed(options.format, format)) {
    return usageFailure("convert",
                        "--format must be " + formatNamesText() + ", not " + options.format);
  }
  if (const std::string problem = formatProblem(options, *format); !problem.empty()) {
    return usageFailure("convert", problem);
  }
  return kExitOk;
}

// Every output's name first: two inputs of one stem would overwrite each
// other, an output (side files too) of one job an input, so the batch is
// refused before anything is written. Fills outputs with each input's image
// and makes the output folder; kExitOk, or the failure's code once it is
// reported.
int planOutputs(const ConvertOptions &options, ImageFormat *chosen,
                std::vector<std::string> *outputs) {
  ImageFormat &format = *chosen;
  if (const int code = batchFormat(options, &format); code != kExitOk) {
    return code;
  }
  std::map<std::string, size_t> byOutput;
  for (size_t i = 0; i < options.inputs.size(); ++i) {
    const std::string &input = options.inputs[i];
    const std::string stem = fs::path(input).stem().string();
    if (stem.empty()) {
      return usageFailure("convert", input + ": not a file name");
    }
    outputs->push_back(
        (fs::path(options.outputDir) / (stem + "." + imageFormatExtension(format))).string());
    const auto [at, fresh] = byOutput.emplace(outputs->back(), i);
    if (!fresh) {
      return usageFailure("convert", options.inputs[at->second] + " and " + input +
                                         " would both be written to " + outputs->back());
    }
  }
  for (const std::string &image : *outputs) {
    if (const std::string problem = unwritableOutput(image, format); !problem.empty()) {
      reportFailure(problem);
      return kExitFailure;
    }
  }
  if (const std::string clash = overwriteProblem(options.inputs, *outputs, format, true);
      !clash.empty()) {
    return usageFailure("convert", clash);
  }
  std::error_code ec;
  fs::create_directories(options.outputDir, ec);
  if (ec || !fs::is_directory(options.outputDir, ec)) {
    reportFailure("cannot write into " + options.outputDir + ": " +
                  (ec ? ec.message() : "not a folder"));
    return kExitFailure;
  }
  return kExitOk;
}

// A batch under way: its conversions running, the next input to start, and
// how many have ended either way.
struct BatchRun {
  const ConvertOptions *options = nullptr;
  const std::vector<std::string> *outputs = nullptr; // each input's image
  ImageFormat format = ImageFormat::Png;             // the outputs'
  ProgressLine *line = nullptr;
  size_t jobs = 1; // conversions at a time
  std::vector<Child> running;
  size_t next = 0, converted = 0, failed = 0;
};

// Starts conversions until run->jobs are running or none is left. One that
// cannot start while none runs has failed; while others run, it waits for
// one of them to end (out of processes, say).
void startConversions(BatchRun *run) {
  const std::vector<std::string> &inputs = run->options->inputs;
  while (run->next < inputs.size() && run->running.size() < run->jobs) {
    Child child;
    std::string error;
    if (!startChild(*run->options, (*run->outputs)[run->next], run->next, run->running, &child,
                    &error)) {
      if (run->running.empty()) {
        run->line->breakLine();
        reportFailure(inputs[run->next] + ": cannot start its conversion (" + error + ")");
        ++run->failed;
        ++run->next;
        continue;
      }
      break;
    }
    run->running.push_back(child);
    ++run->next;
  }
}

// Passes on what running[i] wrote; at the end of its pipe, or a pipe that
// cannot be read, waits for it (a child still writing gets SIGPIPE and ends)
// and counts its outcome.
void readChild(BatchRun *run, size_t i) {
  Child &child = run->running[i];
  const std::string &input = run->options->inputs[child.file];
  char buffer[4096];
  const ssize_t got = read(child.err, buffer, sizeof buffer);
  if (got > 0) {
    child.held.append(buffer, static_cast<size_t>(got));
    relayLines(&child, input, run->line, false);
    return;
  }
  if (got < 0 && errno == EINTR) {
    return;
  }
  relayLines(&child, input, run->line, true);
  close(child.err);
  if (reapChild(child, input, (*run->outputs)[child.file], run->format)) {
    ++run->converted;
  } else {
    ++run->failed;
  }
  run->running.erase(run->running.begin() + static_cast<std::ptrdiff_t>(i));
  const size_t total = run->options->inputs.size();
  run->line->update(static_cast<double>(run->converted + run->failed) / static_cast<double>(total));
}

// Waits until a running conversion writes or ends, and reads each that did.
// False when the waiting itself fails: then says so and reaps every child.
bool serviceChildren(BatchRun *run) {
  std::vector<pollfd> watched;
  watched.reserve(run->running.size());
  for (const Child &child : run->running) {
    watched.push_back({child.err, POLLIN, 0});
  }
  if (watched.empty()) {
    return true;
  }
  if (poll(watched.data(), watched.size(), -1) < 0 && errno != EINTR) {
    run->line->breakLine();
    reportFailure(std::string("cannot wait for the conversions: ") + std::strerror(errno));
    for (const Child &child : run->running) {
      close(child.err); // a child still writing gets SIGPIPE and removes its files
      (void)reapChild(child, run->options->inputs[child.file], (*run->outputs)[child.file],
                      run->format);
    }
    return false;
  }
  for (size_t i = watched.size(); i-- > 0;) {
    if (watched[i].revents != 0) {
      readChild(run, i);
    }
  }
  return true;
}

} // namespace

int runBatch(const ConvertOptions &options) {
  std::vector<std::string> outputs;
  ImageFormat format = ImageFormat::Png;
  if (const int code = planOutputs(options, &format, &outputs); code != kExitOk) {
    return code;
  }
  const size_t total = options.inputs.size();
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  const auto jobs =
      static_cast<size_t>(std::clamp(options.jobs > 0 ? options.jobs : cores, 1, kMaxJobs));
  for (const int signal : kForwardedSignals) {
    (void)std::signal(signal, stopChildrenAndDie);
  }
  ProgressLine line(progressShowFor(options.quiet, options.progress));
  BatchRun run{&options, &outputs, format, &line, jobs, {}, 0, 0, 0};
  line.update(0);
  while (run.next < total || !run.running.empty()) {
    startConversions(&run);
    if (!serviceChildren(&run)) {
      return kExitFailure;
    }
  }
  line.finish();
  if (!options.quiet) {
    (void)std::fprintf(stderr, "elvarin-host: %zu converted, %zu failed\n", run.converted,
                       run.failed);
  }
  return run.failed == 0 ? kExitOk : kExitFailure;
}

} // namespace elvhost
