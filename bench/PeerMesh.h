// PeerMesh: the input side of the peer pipelines (bench/PeerWeld.cpp,
// bench/PeerOpenMesh.cpp) and their output. Reads the two formats the
// whole-command benchmarks use, from a memory map in one pass: binary STL (a
// corner soup, three corners a triangle) and ASCII OFF (indexed polygons).
// Writes border chains as OBJ polylines through one buffer.
#ifndef TRESSEL_BENCH_PEERMESH_H
#define TRESSEL_BENCH_PEERMESH_H

#include <stdint.h>

#include <string>
#include <vector>

struct CPeerMesh {
  std::vector<float> positions;      // x, y, z per vertex (per corner for STL)
  std::vector<uint32_t> indices;     // the corners of every face, face after face
  std::vector<uint32_t> faceStarts;  // face f is indices[faceStarts[f] .. faceStarts[f + 1])
  size_t VertexCount() const { return positions.size() / 3; }
  size_t FaceCount() const { return faceStarts.empty() ? 0 : faceStarts.size() - 1; }
};

// Reads .stl (binary) or .off by the name's ending; false with *error set on
// any fault (no such file, a short file, an index out of range).
bool ReadPeerMesh(const std::string& path, CPeerMesh* mesh, std::string* error);

// Writes the chains (each a closed loop of vertex numbers into positions) as
// OBJ: the chain's vertices, then one `l` line closing the loop.
bool WriteChains(const std::string& path, const std::vector<float>& positions,
                 const std::vector<std::vector<uint32_t>>& chains, std::string* error);

#endif  // TRESSEL_BENCH_PEERMESH_H
