#include "ded/finding.h"

const char *dedFindingText(DedFinding finding) {
  switch (finding) {
  case DedFinding::None:
    return "nothing is wrong";
  case DedFinding::NoArgument:
    return "an argument is missing";
  case DedFinding::NotForReading:
    return "the open mode is not for reading";
  case DedFinding::TableFull:
    return "too many files are open";
  case DedFinding::NotOpened:
    return "the file does not open as a regular file";
  case DedFinding::NoMemory:
    return "there is not enough memory";
  case DedFinding::BadMagic:
    return "not a DED file (no KVTR magic at byte 4)";
  case DedFinding::HeaderShort:
    return "the header is cut short";
  case DedFinding::StatisticsShort:
    return "the cell statistics are cut short";
  case DedFinding::TooManyCells:
    return "the cell count is too large for an array of cell headers";
  case DedFinding::CellHeaderShort:
    return "the cell headers are cut short";
  case DedFinding::CellUnusable:
    return "a cell has unusable counts or bounds";
  case DedFinding::BadHemisphere:
    return "the UTM hemisphere is neither N nor S";
  case DedFinding::ZoneNotANumber:
    return "the UTM zone is not a number";
  case DedFinding::ZoneOutOfRange:
    return "the UTM zone is outside 1..60";
  case DedFinding::SpacingUnusable:
    return "the first cell's spacing is not above 0";
  case DedFinding::SizeUnusable:
    return "the cells' bounds and spacing give no usable image size";
  case DedFinding::ImageTooLarge:
    return "the image is larger than 2 GiB of samples";
  case DedFinding::ScratchTooLarge:
    return "the largest cell is larger than 2 GiB of samples";
  case DedFinding::SizeUnknown:
    return "the file's length cannot be told";
  case DedFinding::CellTooLarge:
    return "a cell holds more samples than the largest cell's counts allow";
  case DedFinding::CellEmpty:
    return "a cell holds no samples";
  case DedFinding::BlockPastEnd:
    return "the samples are cut short";
  }
  return "unknown finding";
}
