// Row width of the host's pixel buffer: rounded up to a multiple of 4, as a
// Windows device-independent bitmap's rows are, so stride and width differ
// for most widths.
#include "qvapilib/state.h"

namespace qvstandin {

int32_t rowWidthFor(int32_t width) {
  if (state().rowWidthOverride >= 0) {
    return state().rowWidthOverride;
  }
  const int64_t rounded = (int64_t{width} + 3) / 4 * 4;
  return rounded > INT32_MAX ? INT32_MAX : static_cast<int32_t>(rounded);
}

void overrideRowWidth(int32_t rowWidth) { state().rowWidthOverride = rowWidth < 0 ? -1 : rowWidth; }
int rowWidthCalls() { return state().rowWidthCalls; }
std::vector<int32_t> lastRowWidthArgs() {
  const auto &args = state().lastRowWidthArgs;
  return state().rowWidthCalls == 0 ? std::vector<int32_t>{}
                                    : std::vector<int32_t>(args.begin(), args.end());
}

} // namespace qvstandin

extern "C" QVAPI_HOST_FN int32_t qvGetImageRowWidth(int32_t width, int32_t bitsPerSample,
                                                    int32_t textureType, int32_t *extra) noexcept {
  auto &s = qvstandin::state();
  ++s.rowWidthCalls;
  s.lastRowWidthArgs = {width, bitsPerSample, textureType};
  const int32_t rowWidth = qvstandin::rowWidthFor(width);
  if (extra != nullptr) {
    *extra = rowWidth - width; // padding bytes; the plug-in does not use it
  }
  return rowWidth;
}
