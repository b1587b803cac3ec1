// tressel_peer_openmesh: the library peer of `tressel wire --mode 2`. Welds
// coincident corners exactly (meshoptimizer's vertex remap), builds an
// OpenMesh polygon mesh of the welded vertices and the faces, and walks its
// boundary halfedges into loops. Linear after the weld's hashing.
//   usage: tressel_peer_openmesh IN.stl|IN.off OUT.obj
// Prints "chains C sides S" on stdout.
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>
#include <meshoptimizer.h>

#include <cstdio>

#include "bench/PeerMesh.h"

using CMesh = OpenMesh::PolyMesh_ArrayKernelT<>;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tressel_peer_openmesh IN.stl|IN.off OUT.obj\n");
    return 2;
  }
  CPeerMesh input;
  std::string error;
  if (!ReadPeerMesh(argv[1], &input, &error)) {
    std::fprintf(stderr, "tressel_peer_openmesh: %s\n", error.c_str());
    return 1;
  }
  const size_t corners = input.VertexCount();
  std::vector<unsigned int> remap(corners);
  const size_t unique =
      meshopt_generateVertexRemap(remap.data(), nullptr, corners, input.positions.data(), corners, 3 * sizeof(float));
  std::vector<float> positions(unique * 3);
  meshopt_remapVertexBuffer(positions.data(), input.positions.data(), corners, 3 * sizeof(float), remap.data());
  input.positions = std::vector<float>();

  CMesh mesh;
  mesh.reserve(unique, unique + input.FaceCount(), input.FaceCount());
  for (size_t v = 0; v < unique; ++v)
    mesh.add_vertex(CMesh::Point(positions[v * 3], positions[v * 3 + 1], positions[v * 3 + 2]));
  std::vector<CMesh::VertexHandle> face;
  for (size_t f = 0; f < input.FaceCount(); ++f) {
    face.clear();
    for (uint32_t k = input.faceStarts[f]; k < input.faceStarts[f + 1]; ++k)
      face.push_back(CMesh::VertexHandle(int(remap[input.indices[k]])));
    mesh.add_face(face);
  }

  std::vector<bool> walked(mesh.n_halfedges(), false);
  std::vector<std::vector<uint32_t>> chains;
  size_t sides = 0;
  for (CMesh::HalfedgeHandle start : mesh.halfedges()) {
    if (!mesh.is_boundary(start) || walked[size_t(start.idx())]) continue;
    std::vector<uint32_t> chain;
    for (CMesh::HalfedgeHandle h = start; !walked[size_t(h.idx())]; h = mesh.next_halfedge_handle(h)) {
      walked[size_t(h.idx())] = true;
      chain.push_back(uint32_t(mesh.from_vertex_handle(h).idx()));
      ++sides;
    }
    chains.push_back(std::move(chain));
  }
  if (!WriteChains(argv[2], positions, chains, &error)) {
    std::fprintf(stderr, "tressel_peer_openmesh: %s\n", error.c_str());
    return 1;
  }
  std::printf("chains %zu sides %zu\n", chains.size(), sides);
  return 0;
}
