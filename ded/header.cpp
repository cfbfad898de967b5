#include "ded/header.h"

#include <cstring>

bool dedHasMagic(const uint8_t *bytes, size_t length) {
  return length >= DED_MAGIC_OFFSET + sizeof DED_MAGIC &&
         std::memcmp(bytes + DED_MAGIC_OFFSET, DED_MAGIC, sizeof DED_MAGIC) == 0;
}

bool dedInputHasMagic(const DedInput &input) {
  uint8_t start[DED_MAGIC_OFFSET + sizeof DED_MAGIC] = {};
  const size_t got =
      input.seek(input.context, 0) ? input.read(input.context, start, sizeof start) : 0;
  return dedHasMagic(start, got);
}

bool dedIsUtm(const DedHeader &header) { return std::memcmp(header.projection, "UTM", 3) == 0; }

bool dedHemisphereCode(char letter, int32_t *code) {
  switch (letter) {
  case 'S':
  case 's':
    *code = DED_HEMISPHERE_SOUTH;
    return true;
  case 'N':
  case 'n':
    *code = DED_HEMISPHERE_NORTH;
    return true;
  default:
    return false;
  }
}

bool dedParseZone(const DedHeader &header, int32_t *zone) {
  const char *text = header.zone;
  const size_t end = sizeof header.zone;
  size_t i = 0;
  while (i < end && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
    ++i;
  }
  bool negative = false;
  if (i < end && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  bool digits = false;
  for (; i < end && text[i] >= '0' && text[i] <= '9'; ++i) {
    digits = true;
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) {
      value = INT32_MAX;
    }
  }
  *zone = static_cast<int32_t>(negative ? -value : value);
  return digits;
}

const char *dedSpacingUnitName(int32_t projection) {
  return projection == PROJ_UTM ? "metre" : "1/36000 degree";
}
