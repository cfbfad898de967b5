// What the DED header's fields mean: the magic, the projection tag, the UTM
// hemisphere letter and zone text, and the codes the description gives them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ded/input.h"
#include "ded/records.h"

// The file's projection codes, as the description gives them (and the plug-in
// passes them to the host unchanged).
constexpr int32_t PROJ_GEOGRAPHIC = 0;
constexpr int32_t PROJ_UTM = 4;

// The file's UTM hemisphere codes.
constexpr int32_t DED_HEMISPHERE_SOUTH = 0;
constexpr int32_t DED_HEMISPHERE_NORTH = 1;

// UTM zones run from 1 to this.
constexpr int32_t DED_MAX_UTM_ZONE = 60;

// The name of the unit a file of this projection code gives its spacings in
// (see DED_GEOGRAPHIC_SPACING_UNITS): "metre" for PROJ_UTM, "1/36000 degree"
// for any other code, which is read as geographic.
const char *dedSpacingUnitName(int32_t projection);

// The first length bytes of a file (length may be anything, bytes may be null
// when it is 0) carry the DED magic at bytes 4..7.
bool dedHasMagic(const uint8_t *bytes, size_t length);

// The file behind input carries the DED magic, read from its first byte as it
// is now (the input is sought to 0 first).
bool dedInputHasMagic(const DedInput &input);

// The header's projection tag says UTM ("UTM" at bytes 8..10); anything else
// is read as geographic.
bool dedIsUtm(const DedHeader &header);

// The hemisphere code of a UTM header's letter: N or n north, S or s south.
// False for any other letter.
bool dedHemisphereCode(char letter, int32_t *code);

// The zone as "%d" reads it from the header's zone text, never past its end:
// white space, a sign, then digits. False when there are no digits. A value
// beyond the int32 range saturates at INT32_MAX (or -INT32_MAX), which lies
// outside 1..60 as the value itself does.
bool dedParseZone(const DedHeader &header, int32_t *zone);
