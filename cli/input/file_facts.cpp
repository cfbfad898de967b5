#include "cli/input/file_facts.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ded/blocks.h"
#include "ded/cells.h"
#include "ded/describe.h"
#include "ded/finding_message.h"
#include "ded/header.h"
#include "ded/open_files.h"

namespace elvhost {

namespace {

using Stream = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

// The reader's finding in the user's words, with the numbers that say how
// far the file falls short. needed is the length the finding asks for.
std::string problemText(DedFinding finding, const FileFacts &facts, int32_t cell, int64_t needed) {
  DedFindingFacts told;
  told.fileBytes = facts.bytes;
  told.neededBytes = needed;
  told.cell = cell;
  told.header = &facts.header;
  return dedFindingMessage(finding, told);
}

// Reads the records and walks the blocks after the magic check; sets problem
// on the first finding.
void readRecords(std::FILE *stream, FileFacts *facts) {
  // The plug-in has printed why a record did not read; this only translates.
  DedInput input = dedStdioInput(stream);
  input.readFailed = [](void *, const char *) {};
  DedRecords records;
  DedFinding finding = dedDescribeInput(input, dedSystemAllocator(), &facts->image, &records);
  facts->described = finding == DedFinding::None;
  facts->header = records.header;
  facts->statistics = records.statistics;
  const int32_t count = dedCellHeaderCount(records.statistics.cellCount);
  const int64_t headersEnd = dedFirstBlockOffset(count);
  std::vector<DedCellHeader> headers;
  if (records.hasStatistics && facts->bytes >= headersEnd && finding != DedFinding::CellUnusable &&
      finding != DedFinding::TooManyCells) {
    // Every header is in the file, so as many as it can hold.
    headers.resize(static_cast<size_t>(count));
    (void)input.seek(input.context, DED_FIRST_CELL_HEADER);
    if (dedReadCellHeaders(input, count, headers.data()) != DedFinding::None) {
      headers.clear();
    }
  }
  int32_t cell = records.cell;
  int64_t needed = finding == DedFinding::CellHeaderShort ? headersEnd : DED_FIRST_CELL_HEADER;
  if (facts->described) {
    finding = dedCheckScratch(facts->image);
  }
  DedBlockWalk walk = dedStartBlockWalk(headers.data(), static_cast<int32_t>(headers.size()),
                                        facts->bytes, dedBlockLimit(facts->image));
  DedCellBlock block;
  while (dedNextBlock(&walk, &block)) {
    facts->cells.push_back({headers[static_cast<size_t>(walk.next - 1)], block.offset,
                            block.samples, block.bytes, block.missing});
    if (facts->described && finding == DedFinding::None && block.finding != DedFinding::None) {
      finding = block.finding;
      cell = walk.next - 1;
    }
  }
  if (finding == DedFinding::BlockPastEnd) {
    needed = walk.nextOffset;
  }
  if (finding != DedFinding::None) {
    facts->problem = problemText(finding, *facts, cell, needed);
  }
}

} // namespace

int64_t FileFacts::missingSamples() const {
  int64_t missing = 0;
  for (const CellFacts &cell : cells) {
    missing += cell.missing;
  }
  return missing;
}

FileFacts readFileFacts(const std::string &path) {
  FileFacts facts;
  // Opened as the plug-in opens it, so a FIFO put in its place meanwhile
  // cannot block; what the path is only says why it did not open.
  errno = 0;
  const Stream stream(dedOpenRegular(path.c_str(), "rb"), &std::fclose);
  if (!stream) {
    const int openError = errno;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
      facts.problem = std::string("cannot open: ") + std::strerror(errno);
    } else if (S_ISDIR(status.st_mode)) {
      facts.problem = "is a folder, not a DED file";
    } else if (!S_ISREG(status.st_mode)) {
      facts.problem = "is not a regular file";
    } else {
      facts.problem =
          std::string("cannot open: ") + std::strerror(openError != 0 ? openError : EIO);
    }
    return facts;
  }
  facts.bytes = dedStreamSize(stream.get());
  uint8_t start[DED_MAGIC_OFFSET + sizeof DED_MAGIC] = {};
  const size_t got = std::fread(start, 1, sizeof start, stream.get());
  if (facts.bytes == 0) {
    facts.problem = "is empty";
  } else if (!dedHasMagic(start, got)) {
    facts.problem = dedFindingText(DedFinding::BadMagic);
  } else {
    readRecords(stream.get(), &facts);
  }
  return facts;
}

} // namespace elvhost
