#include "resources/wiring_diagram_data.hpp"

namespace korvel {

bool DecodeDiagram(const IndexedDiagram& diagram, std::vector<uint8_t>& indices) {
  const size_t total = static_cast<size_t>(diagram.width) * static_cast<size_t>(diagram.height);
  indices.clear();
  indices.reserve(total);
  size_t at = 0;
  bool intact = true;
  while (intact && at < diagram.run_bytes) {
    const uint8_t header = diagram.runs[at++];
    if (header < 128) {
      const size_t count = static_cast<size_t>(header) + 1;
      intact = at + count <= diagram.run_bytes && indices.size() + count <= total;
      if (!intact) break;
      indices.insert(indices.end(), diagram.runs + at, diagram.runs + at + count);
      at += count;
    } else {
      const size_t count = static_cast<size_t>(header) - 126;
      intact = at < diagram.run_bytes && indices.size() + count <= total;
      if (!intact) break;
      indices.insert(indices.end(), count, diagram.runs[at++]);
    }
  }
  if (!intact || indices.size() != total) {
    indices.clear();
    return false;
  }
  return true;
}

}  // namespace korvel
