#include "ded/finding_message.h"

#include <cstdio>

#include "ded/header.h"

namespace {

// A header byte as a person can read it: the letter, or its value in hex.
std::string shownByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  if (value > ' ' && value < 0x7f) {
    return std::string("'") + byte + "'";
  }
  static const char kHex[] = "0123456789abcdef";
  return std::string("byte 0x") + kHex[value >> 4] + kHex[value & 0xf];
}

// The zone as the reader took it; a zone beyond the int32 range is only
// known to be at least that large.
std::string shownZone(const DedHeader &header) {
  int32_t zone = 0;
  (void)dedParseZone(header, &zone);
  const bool beyond = zone == INT32_MAX || zone == -INT32_MAX;
  return std::to_string(zone) + (!beyond ? "" : zone > 0 ? " or more" : " or less");
}

std::string cellName(int32_t cell) { return std::to_string(int64_t{cell} + 1); }

std::string spacingOf(const DedCellHeader &cell) {
  char text[64];
  (void)std::snprintf(text, sizeof text, "%.9g x %.9g", static_cast<double>(cell.xSpacing),
                      static_cast<double>(cell.ySpacing));
  return text;
}

} // namespace

std::string dedFindingMessage(DedFinding finding, const DedFindingFacts &facts) {
  std::string text = dedFindingText(finding);
  switch (finding) {
  case DedFinding::HeaderShort:
  case DedFinding::StatisticsShort:
  case DedFinding::CellHeaderShort:
  case DedFinding::BlockPastEnd:
    if (facts.fileBytes < 0 || facts.neededBytes < 0) {
      return text;
    }
    return text + ": the file has " + std::to_string(facts.fileBytes) + " bytes, " +
           std::to_string(facts.neededBytes) + " needed";
  case DedFinding::BadHemisphere:
    if (facts.header == nullptr) {
      return text;
    }
    return "UTM hemisphere " + shownByte(facts.header->hemisphere) + " is neither N nor S";
  case DedFinding::ZoneOutOfRange:
    if (facts.header == nullptr) {
      return text;
    }
    return "UTM zone " + shownZone(*facts.header) + " is outside 1.." +
           std::to_string(DED_MAX_UTM_ZONE);
  case DedFinding::SpacingUnusable:
    if (facts.cellHeader == nullptr) {
      return text;
    }
    return text + " (" + spacingOf(*facts.cellHeader) + ") and its bounds and counts give none";
  case DedFinding::ImageTooLarge:
    if (facts.cell < 0 || facts.otherCell < 0) {
      return text;
    }
    return text + ": it would hold cells " + cellName(facts.cell) + " and " +
           cellName(facts.otherCell) + ", too far apart";
  case DedFinding::CellUnusable:
  case DedFinding::CellTooLarge:
  case DedFinding::CellEmpty:
    if (facts.cell < 0) {
      return text;
    }
    return text + " (cell " + cellName(facts.cell) + ")";
  default:
    return text;
  }
}
