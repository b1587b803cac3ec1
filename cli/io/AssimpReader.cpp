// Reads any format the assimp library knows into child groups, without
// post-processing: no welding, no reordering, so PLY and glTF keep their
// indexing. Every placement of a mesh by a node of the hierarchy is a group of
// its own, placed by that node's world transform, so a mesh placed by several
// nodes is several groups. In glTF the meshes one node holds are the parts
// (primitives) of one mesh and make one group; other formats hang separate
// objects on one node, which stay apart. A mesh no node holds is one group, as
// stored. Groups come in the order of their first mesh in the scene's mesh
// list, one mesh's placements in the hierarchy's depth-first order. Values that are not finite make the
// file an error, as in the dedicated readers. The file is checked first for
// what the library would trust blindly (PrecheckForAssimp), and the library
// opens only regular files, also for the files a model refers to. The library
// itself runs in a worker process (ImportWorker.h) unless reading in this
// process was asked for. Linear in the scene size times its placements.
#include <pthread.h>
#include <stdint.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <map>
#include <memory>
#include <new>

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/ProgressHandler.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

#include "cli/io/ImportWorker.h"
#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

// Opens only regular files: a model that names /dev/zero or a FIFO as its
// buffer or texture gets "cannot open", never an endless or blocking read.
class CRegularFileSystem : public Assimp::DefaultIOSystem {
 public:
  Assimp::IOStream* Open(const char* file, const char* mode) override {
    struct stat status;
    if (!file || ::stat(file, &status) != 0 || !S_ISREG(status.st_mode)) return nullptr;
    return Assimp::DefaultIOSystem::Open(file, mode);
  }
};

class CProgressBridge : public Assimp::ProgressHandler {
 public:
  explicit CProgressBridge(CReadProgress* progress, size_t total) : mProgress(progress), mTotal(total) {}
  bool Update(float percentage) override {
    if (percentage < 0) return !mProgress->Stopped();
    return mProgress->At(size_t(double(mTotal) * std::min(1.0f, percentage)));
  }

 private:
  CReadProgress* mProgress;
  size_t mTotal;
};

// A node that holds meshes, where the hierarchy puts it.
struct CPlacement {
  aiMatrix4x4 transform;
  std::string node;
  std::vector<unsigned> meshes;  // the scene's mesh indices the node holds, in its order
};

// Every node that holds a mesh, with its world transform, depth first without
// recursion.
std::vector<CPlacement> FindPlacements(const aiScene* scene) {
  std::vector<CPlacement> placements;
  if (!scene->mRootNode) return placements;
  struct CVisit {
    const aiNode* node;
    aiMatrix4x4 parent;
  };
  std::vector<CVisit> stack{{scene->mRootNode, aiMatrix4x4()}};
  while (!stack.empty()) {
    const CVisit visit = stack.back();
    stack.pop_back();
    const aiMatrix4x4 global = visit.parent * visit.node->mTransformation;
    CPlacement placement{global, visit.node->mName.C_Str(), {}};
    for (unsigned i = 0; i < visit.node->mNumMeshes; ++i)
      if (visit.node->mMeshes[i] < scene->mNumMeshes && scene->mMeshes[visit.node->mMeshes[i]])
        placement.meshes.push_back(visit.node->mMeshes[i]);
    if (!placement.meshes.empty()) placements.push_back(std::move(placement));
    for (unsigned i = visit.node->mNumChildren; i-- > 0;)
      if (visit.node->mChildren[i]) stack.push_back(CVisit{visit.node->mChildren[i], global});
  }
  return placements;
}

uint32_t DiffuseColor(const aiScene* scene, unsigned materialIndex) {
  if (materialIndex >= scene->mNumMaterials || !scene->mMaterials[materialIndex]) return kOpaqueWhiteWord;
  aiColor4D color;
  if (scene->mMaterials[materialIndex]->Get(AI_MATKEY_COLOR_DIFFUSE, color) != AI_SUCCESS) return kOpaqueWhiteWord;
  const uint8_t argb[4] = {ColorByte(color.a), ColorByte(color.r), ColorByte(color.g), ColorByte(color.b)};
  return ColorWord(argb);
}

std::string MeshName(const aiScene* scene, unsigned m) {
  const aiMesh* mesh = scene->mMeshes[m];
  return mesh->mName.length > 0 ? mesh->mName.C_Str() : "mesh " + std::to_string(m + 1);
}

// A group's name: its mesh's, or for a node holding several meshes the node's
// (else its first mesh's); where one node's content is placed more than once,
// with the node's name where those tell the placements apart, else a number.
std::vector<std::string> GroupNames(const aiScene* scene, const std::vector<CPlacement>& placements) {
  std::vector<std::string> base;
  std::map<std::vector<unsigned>, std::vector<size_t>> bySignature;
  for (size_t p = 0; p < placements.size(); ++p) {
    const CPlacement& placement = placements[p];
    base.push_back(placement.meshes.size() == 1 || placement.node.empty() ? MeshName(scene, placement.meshes[0])
                                                                         : placement.node);
    bySignature[placement.meshes].push_back(p);
  }
  std::vector<std::string> names = base;
  for (const auto& [signature, members] : bySignature) {
    if (members.size() <= 1) continue;
    std::map<std::string, int> seen;
    bool distinct = true;
    for (size_t p : members) distinct = distinct && !placements[p].node.empty() && ++seen[placements[p].node] == 1;
    for (size_t k = 0; k < members.size(); ++k) {
      const CPlacement& placement = placements[members[k]];
      names[members[k]] = base[members[k]] + (distinct && placement.node != base[members[k]] ? " @ " + placement.node
                                                                                             : " #" + std::to_string(k + 1));
    }
  }
  return names;
}

bool Finite(const aiVector3D& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// Appends a mesh's vertices under `transform` and its faces to a group. A
// group of several meshes has an attribute wherever one of them has it (zero,
// or opaque white, for the others).
bool AppendMesh(const aiScene* scene, const aiMesh& source, const std::string& label, const aiMatrix4x4& transform,
                CImportedMesh* mesh, std::string* detail) {
  aiMatrix3x3 normalTransform(transform);
  normalTransform.Inverse().Transpose();
  const bool moves = !transform.IsIdentity();
  const unsigned count = source.mNumVertices;
  const size_t offset = mesh->VertexCount();
  if (offset + count > size_t(INT32_MAX)) {
    *detail = label + " makes a group of too many vertices";
    return false;
  }
  mesh->positions.SetSingle(true);
  if (mesh->normals.Empty()) mesh->normals.SetSingle(true);
  if (mesh->uvws.Empty()) mesh->uvws.SetSingle(true);
  mesh->positions.Reserve(offset + count);
  // Columns this mesh begins or another began: zeros (white) for the rest.
  if (source.mNormals || !mesh->normals.Empty()) mesh->normals.Resize(offset);
  if (source.mTextureCoords[0] || !mesh->uvws.Empty()) mesh->uvws.Resize(offset);
  if (source.mColors[0] || !mesh->colors.empty()) mesh->colors.resize(offset, kOpaqueWhiteWord);
  const bool normalColumn = !mesh->normals.Empty() || source.mNormals;
  const bool uvwColumn = !mesh->uvws.Empty() || source.mTextureCoords[0];
  const bool colorColumn = !mesh->colors.empty() || source.mColors[0];
  for (unsigned v = 0; v < count; ++v) {
    const aiVector3D position = moves ? transform * source.mVertices[v] : source.mVertices[v];
    aiVector3D normal, uvw;
    if (source.mNormals) {
      normal = source.mNormals[v];
      if (moves) {
        normal = normalTransform * normal;
        if (normal.Length() > 0) normal.Normalize();
      }
    }
    if (source.mTextureCoords[0]) uvw = source.mTextureCoords[0][v];
    if (!Finite(position) || !Finite(normal) || !Finite(uvw)) {
      *detail = label + " vertex " + std::to_string(v) + " has a value that is not a finite number";
      return false;
    }
    mesh->positions.AddFloats(&position.x);
    if (normalColumn) mesh->normals.AddFloats(&normal.x);
    if (uvwColumn) mesh->uvws.AddFloats(&uvw.x);
    if (source.mColors[0]) {
      const aiColor4D& color = source.mColors[0][v];
      const uint8_t argb[4] = {ColorByte(color.a), ColorByte(color.r), ColorByte(color.g), ColorByte(color.b)};
      mesh->colors.push_back(ColorWord(argb));
    } else if (colorColumn) {
      mesh->colors.push_back(kOpaqueWhiteWord);
    }
  }
  const uint8_t* facetColor = nullptr;
  const uint32_t colorWord = DiffuseColor(scene, source.mMaterialIndex);
  uint8_t argb[4];
  ColorBytes(colorWord, argb);
  facetColor = argb;
  std::vector<int32_t> corners;
  for (unsigned f = 0; f < source.mNumFaces && source.mFaces; ++f) {
    const aiFace& face = source.mFaces[f];
    corners.clear();
    for (unsigned i = 0; i < face.mNumIndices; ++i) {
      const unsigned index = face.mIndices[i];
      if (index >= count) {
        const std::string named = index > unsigned(INT32_MAX) ? std::to_string(int32_t(index)) + " (a negative index)"
                                                              : std::to_string(index);
        *detail = label + " face " + std::to_string(f) + " names vertex " + named + " of " + std::to_string(count);
        return false;
      }
      corners.push_back(static_cast<int32_t>(offset + index));
    }
    AppendFacet(mesh, corners.data(), corners.size(), facetColor);
  }
  return true;
}

}  // namespace

bool AssimpReadsFormat(const std::string& extension) {
  Assimp::Importer importer;
  return importer.IsExtensionSupported("." + extension);
}

namespace {

bool ReadHere(const CReadInput& input, const std::string& format, std::vector<CImportedMesh>* meshes, std::string* detail) {
  Assimp::Importer importer;
  importer.SetIOHandler(new CRegularFileSystem());
  importer.SetProgressHandler(new CProgressBridge(input.progress, input.bytes.size()));
  const aiScene* scene = input.path.empty()
                             ? importer.ReadFileFromMemory(input.bytes.data(), input.bytes.size(), 0, format.c_str())
                             : importer.ReadFile(input.path.string(), 0);
  if (input.progress->Stopped()) {
    *detail = kCancelledDetail;
    return false;
  }
  if (!scene) {
    const std::string reason = importer.GetErrorString();
    // The library turns every exception of its readers into an error text,
    // memory exhaustion too: that one is said as such.
    if (reason == std::bad_alloc().what()) throw std::bad_alloc();
    *detail = "cannot be read as a mesh" + (reason.empty() ? std::string() : " (" + reason + ")");
    return false;
  }
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* source = scene->mMeshes[m];
    if (!source) continue;
    const std::string label = "mesh " + std::to_string(m + 1);
    if (source->mNumVertices > 0 && !source->mVertices) {
      *detail = label + " has no vertex positions";
      return false;
    }
    if (source->mNumVertices > static_cast<unsigned>(INT32_MAX)) {
      *detail = label + " has too many vertices";
      return false;
    }
  }
  // The groups: every node holding meshes, in the order of the first mesh it
  // holds (so a file without instances keeps the scene's mesh order); a mesh
  // no node holds is a group of its own, unmoved.
  std::vector<CPlacement> placements = FindPlacements(scene);
  const bool gltf = format == "gltf" || format == "glb" || input.bytes.substr(0, 4) == "glTF";
  if (!gltf) {
    // Only a glTF node's meshes are one mesh's parts (its primitives); other
    // readers hang separate objects on one node.
    std::vector<CPlacement> single;
    for (const CPlacement& placement : placements)
      for (unsigned m : placement.meshes) single.push_back(CPlacement{placement.transform, placement.node, {m}});
    placements = std::move(single);
  }
  std::vector<bool> placed(scene->mNumMeshes, false);
  for (const CPlacement& placement : placements)
    for (unsigned m : placement.meshes) placed[m] = true;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m)
    if (!placed[m] && scene->mMeshes[m]) placements.push_back(CPlacement{aiMatrix4x4(), std::string(), {m}});
  std::stable_sort(placements.begin(), placements.end(),
                   [](const CPlacement& a, const CPlacement& b) { return a.meshes[0] < b.meshes[0]; });
  const std::vector<std::string> names = GroupNames(scene, placements);
  for (size_t p = 0; p < placements.size(); ++p) {
    CImportedMesh mesh;
    mesh.name = names[p];
    for (unsigned m : placements[p].meshes)
      if (!AppendMesh(scene, *scene->mMeshes[m], "mesh " + std::to_string(m + 1), placements[p].transform, &mesh, detail))
        return false;
    if (!input.progress->At(input.bytes.size())) return false;
    meshes->push_back(std::move(mesh));
  }
  return true;
}

struct CLibraryRead {
  const CReadInput* input;
  const std::string* format;
  std::vector<CImportedMesh>* meshes;
  std::string* detail;
  bool ok = false;
  std::exception_ptr failure;
};

void* RunLibraryRead(void* argument) {
  auto* read = static_cast<CLibraryRead*>(argument);
  try {
    read->ok = ReadHere(*read->input, *read->format, read->meshes, read->detail);
  } catch (...) {
    read->failure = std::current_exception();
  }
  return nullptr;
}

// The library's readers recurse with the file's structure. What the prechecks
// bound stays far inside the main stack; formats they do not look into
// (binary ones) get a thread whose stack is reserved, not committed, at 1 GiB.
constexpr size_t kLibraryStackBytes = size_t(1) << 30;

}  // namespace

bool ReadWithAssimp(const CReadInput& input, const std::string& format, std::vector<CImportedMesh>* meshes,
                    std::string* detail) {
  if (!PrecheckForAssimp(input.bytes, format, detail)) return false;
  return LibraryReadInProcess() ? ReadWithAssimpInProcess(input, format, meshes, detail)
                                : ReadWithAssimpInWorker(input, format, meshes, detail);
}

bool ReadWithAssimpInProcess(const CReadInput& input, const std::string& format, std::vector<CImportedMesh>* meshes,
                             std::string* detail) {
  CLibraryRead read{&input, &format, meshes, detail, false, nullptr};
  pthread_attr_t attributes;
  pthread_t thread;
  bool started = pthread_attr_init(&attributes) == 0;
  started = started && pthread_attr_setstacksize(&attributes, kLibraryStackBytes) == 0 &&
            pthread_create(&thread, &attributes, RunLibraryRead, &read) == 0;
  pthread_attr_destroy(&attributes);
  if (started) {
    pthread_join(thread, nullptr);
  } else {
    RunLibraryRead(&read);  // no thread to be had: on this one
  }
  if (read.failure) std::rethrow_exception(read.failure);
  return read.ok;
}

}  // namespace cliio
