#include "cli/elevation/uncovered.h"

#include <algorithm>
#include <tuple>

namespace elvhost {

namespace {

// A count of covering rectangles over the stretches between consecutive
// row edges, with the rows covered under each node: the union's height on
// the current column, kept as rectangles start and end.
class RowCover {
public:
  explicit RowCover(std::vector<int64_t> edges)
      : edges_(std::move(edges)), count_(4 * edges_.size()), covered_(4 * edges_.size()) {}

  // Adds delta (+1 or -1) to the rows [low, high), both among the edges.
  void add(int64_t low, int64_t high, int delta) {
    if (edges_.size() > 1) {
      add(1, 0, edges_.size() - 1, low, high, delta);
    }
  }
  int64_t covered() const { return covered_.empty() ? 0 : covered_[1]; }

private:
  void add(size_t node, size_t first, size_t last, int64_t low, int64_t high, int delta) {
    if (high <= edges_[first] || edges_[last] <= low) {
      return;
    }
    if (low <= edges_[first] && edges_[last] <= high) {
      count_[node] += delta;
    } else {
      const size_t middle = (first + last) / 2;
      add(2 * node, first, middle, low, high, delta);
      add(2 * node + 1, middle, last, low, high, delta);
    }
    covered_[node] = count_[node] > 0   ? edges_[last] - edges_[first]
                     : last - first > 1 ? covered_[2 * node] + covered_[2 * node + 1]
                                        : 0;
  }

  std::vector<int64_t> edges_;
  std::vector<int64_t> count_;
  std::vector<int64_t> covered_;
};

} // namespace

int64_t uncoveredPositions(const DedImageInfo &image, const std::vector<DedPlacement> &placements) {
  // Each shown cell's placed rectangle as its west edge (+1) and its east
  // edge (-1), swept west to east.
  std::vector<std::tuple<int64_t, int, int64_t, int64_t>> edges;
  std::vector<int64_t> rows;
  for (const DedPlacement &p : placements) {
    if (p.shown) {
      const int64_t low = p.imageRow + p.firstRow, high = p.imageRow + p.endRow;
      edges.emplace_back(p.imageColumn + p.firstColumn, 1, low, high);
      edges.emplace_back(p.imageColumn + p.endColumn, -1, low, high);
      rows.insert(rows.end(), {low, high});
    }
  }
  std::sort(edges.begin(), edges.end());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  RowCover cover(std::move(rows));
  int64_t covered = 0, column = 0;
  for (const auto &[at, delta, low, high] : edges) {
    covered += cover.covered() * (at - column);
    column = at;
    cover.add(low, high, delta);
  }
  return int64_t{image.width} * image.height - covered;
}

} // namespace elvhost
