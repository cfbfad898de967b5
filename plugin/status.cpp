#include "plugin/status.h"

#include "host/qvapi.h"
#include "host/status.h"

int32_t dedStatusFor(DedFinding finding) {
  switch (finding) {
  case DedFinding::None:
    return DED_OK;
  case DedFinding::NoMemory:
    return DED_ERR_NOMEM;
  case DedFinding::NotForReading:
  case DedFinding::TableFull:
  case DedFinding::NotOpened:
    return DED_ERR_OPEN;
  case DedFinding::HeaderShort:
  case DedFinding::StatisticsShort:
  case DedFinding::CellHeaderShort:
  case DedFinding::SizeUnknown:
  case DedFinding::CellEmpty:
  case DedFinding::BlockPastEnd:
    return DED_ERR_READ;
  case DedFinding::BadMagic:
    return DED_ERR_FORMAT;
  case DedFinding::NoArgument:
  case DedFinding::TooManyCells:
  case DedFinding::CellUnusable:
  case DedFinding::BadHemisphere:
  case DedFinding::ZoneNotANumber:
  case DedFinding::ZoneOutOfRange:
  case DedFinding::SpacingUnusable:
  case DedFinding::SizeUnusable:
  case DedFinding::ImageTooLarge:
  case DedFinding::ScratchTooLarge:
  case DedFinding::CellTooLarge:
    return DED_ERR_BADARG;
  }
  return DED_ERR_BADARG;
}

DedAllocator dedHostAllocator() { return DedAllocator{qvMalloc, qvFree}; }
