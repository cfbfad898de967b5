// A finding in a person's words with the values behind it ("UTM zone 61 is
// outside 1..60", "the header is cut short: the file has 100 bytes, 160
// needed"): the one text every program that tells a person prints.
#pragma once

#include <cstdint>
#include <string>

#include "ded/finding.h"
#include "ded/records.h"

// What a finding's text may name; each part is left out when unknown.
struct DedFindingFacts {
  int64_t fileBytes = -1;                    // the file's length
  int64_t neededBytes = -1;                  // the length a "cut short" finding asks for
  int32_t cell = -1;                         // the cell concerned, numbered from 0
  int32_t otherCell = -1;                    // a second cell (the one farthest from cell)
  const DedHeader *header = nullptr;         // the header read, for its UTM fields
  const DedCellHeader *cellHeader = nullptr; // the cell concerned's header
};

// dedFindingText's phrase with the facts that explain it; never empty.
std::string dedFindingMessage(DedFinding finding, const DedFindingFacts &facts);
