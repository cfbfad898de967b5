#include "cli/input/file_facts.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "cli/input/pinned_input.h"
#include "ded/blocks.h"
#include "ded/cells.h"
#include "ded/describe.h"
#include "ded/finding_message.h"
#include "ded/header.h"

namespace elvhost {

namespace {

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
void readRecords(const DedInput &input, FileFacts *facts) {
  DedRecords records;
  DedBlock<DedCellHeader> read(nullptr, DedRelease{dedSystemAllocator().release});
  DedFinding finding =
      dedDescribeInput(input, dedSystemAllocator(), &facts->image, &records, &read);
  facts->described = finding == DedFinding::None;
  facts->header = records.header;
  facts->statistics = records.statistics;
  const int32_t count = dedCellHeaderCount(records.statistics.cellCount);
  const int64_t headersEnd = dedFirstBlockOffset(count);
  // The headers describing read, when it read them all.
  const std::vector<DedCellHeader> headers(read.get(), read ? read.get() + count : nullptr);
  int32_t cell = records.cell;
  int64_t needed = finding == DedFinding::CellHeaderShort ? headersEnd : DED_FIRST_CELL_HEADER;
  if (facts->described) {
    finding = dedCheckScratch(facts->image);
  }
  DedBlockWalk walk = dedStartBlockWalk(headers.data(), static_cast<int32_t>(headers.size()),
                                        facts->bytes, dedBlockLimit(facts->image));
  DedCellBlock block;
  while (dedNextBlock(&walk, &block)) {
    facts->cells.push_back({block, headers[static_cast<size_t>(walk.next - 1)]});
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

// Why a path that did not pin cannot be read, from what is at the path.
std::string whyNotPinned(const PinnedFile &pin) {
  struct stat status {};
  if (::stat(pin.path().c_str(), &status) != 0) {
    return std::string("cannot open: ") + std::strerror(errno);
  }
  if (S_ISDIR(status.st_mode)) {
    return "is a folder, not a DED file";
  }
  if (!S_ISREG(status.st_mode)) {
    return "is not a regular file";
  }
  return std::string("cannot open: ") + std::strerror(pin.openError() != 0 ? pin.openError() : EIO);
}

} // namespace

int64_t FileFacts::missingSamples() const {
  int64_t missing = 0;
  for (const CellFacts &cell : cells) {
    missing += cell.missing;
  }
  return missing;
}

FileFacts readFileFacts(const PinnedFile &pin) {
  FileFacts facts;
  if (!pin.pinned()) {
    facts.problem = whyNotPinned(pin);
    return facts;
  }
  const PinnedInput reader(pin);
  const DedInput &input = reader.input();
  facts.bytes = input.size(input.context);
  if (facts.bytes == 0) {
    facts.problem = "is empty";
  } else if (!dedInputHasMagic(input)) {
    facts.problem = dedFindingText(DedFinding::BadMagic);
  } else {
    readRecords(input, &facts);
  }
  // A record cut short by a read the system failed, rather than by the end
  // of the file: its reason, in the system's words.
  if (const int error = input.readError(input.context); !facts.problem.empty() && error != 0) {
    facts.problem = std::string("cannot read its headers: ") + std::strerror(error);
  }
  return facts;
}

} // namespace elvhost
