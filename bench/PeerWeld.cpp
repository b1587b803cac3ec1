// tressel_peer_weld: the hand-written peer of `tressel wire --mode 2`. Welds
// coincident corners exactly (meshoptimizer's vertex remap on the positions),
// makes one 64-bit key per facet side, sorts the keys, keeps the sides that
// occur once (the border) and links them into chains through a `next` array.
// O(n log n) in the facet sides, for the sort; everything else linear.
//   usage: tressel_peer_weld IN.stl|IN.off OUT.obj
// Prints "chains C sides S" on stdout.
#include <meshoptimizer.h>

#include <algorithm>
#include <cstdio>

#include "bench/PeerMesh.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tressel_peer_weld IN.stl|IN.off OUT.obj\n");
    return 2;
  }
  CPeerMesh mesh;
  std::string error;
  if (!ReadPeerMesh(argv[1], &mesh, &error)) {
    std::fprintf(stderr, "tressel_peer_weld: %s\n", error.c_str());
    return 1;
  }
  const size_t corners = mesh.VertexCount();
  std::vector<unsigned int> remap(corners);
  const size_t unique =
      meshopt_generateVertexRemap(remap.data(), nullptr, corners, mesh.positions.data(), corners, 3 * sizeof(float));
  std::vector<float> positions(unique * 3);
  meshopt_remapVertexBuffer(positions.data(), mesh.positions.data(), corners, 3 * sizeof(float), remap.data());

  // Key of the side a -> b: the smaller end in the top 31 bits, the larger in
  // the next 32, the direction in the lowest; the two sides of an inner edge
  // differ only in that bit.
  std::vector<uint64_t> keys;
  keys.reserve(mesh.indices.size());
  for (size_t f = 0; f < mesh.FaceCount(); ++f) {
    const uint32_t first = mesh.faceStarts[f], count = mesh.faceStarts[f + 1] - first;
    for (uint32_t k = 0; k < count; ++k) {
      const uint64_t a = remap[mesh.indices[first + k]], b = remap[mesh.indices[first + (k + 1) % count]];
      keys.push_back(a < b ? (a << 33) | (b << 1) : (b << 33) | (a << 1) | 1);
    }
  }
  std::sort(keys.begin(), keys.end());

  constexpr uint32_t kNone = ~0u;
  std::vector<uint32_t> next(unique, kNone);
  size_t sides = 0;
  for (size_t k = 0; k < keys.size();) {
    size_t end = k + 1;
    while (end < keys.size() && (keys[end] >> 1) == (keys[k] >> 1)) ++end;
    if (end == k + 1) {
      const uint32_t low = uint32_t(keys[k] >> 33), high = uint32_t((keys[k] >> 1) & 0xFFFFFFFFu);
      if (keys[k] & 1)
        next[high] = low;
      else
        next[low] = high;
      ++sides;
    }
    k = end;
  }
  std::vector<std::vector<uint32_t>> chains;
  for (uint32_t start = 0; start < unique; ++start) {
    if (next[start] == kNone) continue;
    std::vector<uint32_t> chain;
    for (uint32_t v = start; v != kNone && next[v] != kNone;) {
      chain.push_back(v);
      const uint32_t after = next[v];
      next[v] = kNone;
      v = after;
    }
    chains.push_back(std::move(chain));
  }
  if (!WriteChains(argv[2], positions, chains, &error)) {
    std::fprintf(stderr, "tressel_peer_weld: %s\n", error.c_str());
    return 1;
  }
  std::printf("chains %zu sides %zu\n", chains.size(), sides);
  return 0;
}
