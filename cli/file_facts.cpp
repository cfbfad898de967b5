#include "cli/file_facts.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ded/cells.h"
#include "ded/describe.h"
#include "ded/open_files.h"
#include "host/status.h"

namespace elvhost {

namespace {

using Stream = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

// A header byte as the user can read it: the letter, or its value in hex.
std::string shownByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  if (value > ' ' && value < 0x7f) {
    return std::string("'") + byte + "'";
  }
  static const char kHex[] = "0123456789abcdef";
  return std::string("byte 0x") + kHex[value >> 4] + kHex[value & 0xf];
}

// The UTM fields' problem in words, or empty. The zone reads as "%d" would.
std::string utmProblem(const DedHeader &header) {
  int32_t hemisphere = 0;
  if (!dedHemisphereCode(header.hemisphere, &hemisphere)) {
    return "UTM hemisphere " + shownByte(header.hemisphere) + " is neither N nor S";
  }
  char zoneText[sizeof header.zone + 1] = {};
  std::memcpy(zoneText, header.zone, sizeof header.zone);
  char *end = nullptr;
  const long zone = std::strtol(zoneText, &end, 10);
  if (end == zoneText) {
    return "the UTM zone is not a number";
  }
  if (zone < 1 || zone > DED_MAX_UTM_ZONE) {
    return "UTM zone " + std::to_string(zone) + " is outside 1.." +
           std::to_string(DED_MAX_UTM_ZONE);
  }
  return {};
}

// Reads the records after the size and magic checks; sets problem on failure.
void readRecords(std::FILE *stream, FileFacts *facts) {
  const auto at = [facts](const char *what, int64_t need) {
    return what + std::string(" cut short: the file has ") + std::to_string(facts->bytes) +
           " bytes, " + std::to_string(need) + " needed";
  };
  if (facts->bytes < DED_FIRST_CELL_HEADER) {
    facts->problem = at("the header is", DED_FIRST_CELL_HEADER);
    return;
  }
  dedSeekFresh(stream, DED_HEADER_OFFSET);
  if (dedReadHeader(stream, &facts->header) == nullptr ||
      dedReadStatistics(stream, &facts->statistics) == nullptr) {
    facts->problem = std::string("cannot read the header: ") + std::strerror(errno);
    return;
  }
  if (std::memcmp(facts->header.projection, "UTM", 3) == 0) {
    facts->problem = utmProblem(facts->header);
    if (!facts->problem.empty()) {
      return;
    }
  }
  const int32_t count = dedCellHeaderCount(facts->statistics.cellCount);
  int64_t offset = dedFirstBlockOffset(count);
  if (facts->bytes < offset) {
    facts->problem = at("the cell headers are", offset);
    return;
  }
  for (int32_t i = 0; i < count; ++i) {
    CellFacts cell;
    if (dedReadCellHeaders(stream, 1, &cell.header) != DED_OK) {
      facts->problem = "cell " + std::to_string(i + 1) + " has unusable counts or bounds";
      return;
    }
    cell.offset = offset;
    cell.samples = static_cast<int64_t>(dedCellSamples(cell.header)); // at most 2^62
    // A file cannot be longer than INT64_MAX bytes: counting further is moot.
    cell.bytes = std::min(cell.samples, (INT64_MAX - offset) / DED_SAMPLE_SIZE) * DED_SAMPLE_SIZE;
    offset += cell.bytes;
    if (cell.samples == 0 && facts->problem.empty()) {
      facts->problem = "cell " + std::to_string(i + 1) + " holds no samples";
    }
    const int64_t held = (facts->bytes - cell.offset) / DED_SAMPLE_SIZE;
    cell.missing = held <= 0 ? cell.samples : std::max<int64_t>(0, cell.samples - held);
    facts->cells.push_back(cell);
  }
  const int32_t status = dedDescribeStream(stream, &facts->image);
  facts->described = status == DED_OK;
  if (status == DED_ERR_BADARG) {
    facts->problem = "its cells' sizes and spacings give no usable image";
  } else if (status != DED_OK) {
    facts->problem = "cannot read its records (status " + std::to_string(status) + ")";
  }
  // The plug-in fills a block the file ends inside with zeros, but fails on
  // one it cannot read a single sample of.
  std::vector<DedCellHeader> headers;
  for (const CellFacts &cell : facts->cells) {
    headers.push_back(cell.header);
  }
  if (facts->problem.empty() &&
      dedCheckBlocks(stream, headers.data(), count, INT64_MAX) == DED_ERR_READ) {
    facts->problem = at("the samples are", offset);
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
  char magic[DED_MAGIC_OFFSET + sizeof DED_MAGIC] = {};
  if (facts.bytes == 0) {
    facts.problem = "is empty";
  } else if (facts.bytes < static_cast<int64_t>(sizeof magic) ||
             std::fread(magic, sizeof magic, 1, stream.get()) != 1 ||
             std::memcmp(magic + DED_MAGIC_OFFSET, DED_MAGIC, sizeof DED_MAGIC) != 0) {
    facts.problem = "not a DED file (no KVTR magic at byte 4)";
  } else {
    readRecords(stream.get(), &facts);
  }
  return facts;
}

} // namespace elvhost
