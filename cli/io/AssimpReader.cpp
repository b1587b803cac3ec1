// Reads any format the assimp library knows into one mesh per aiMesh, in the
// scene's mesh order, without post-processing: no welding, no reordering, so
// STL keeps three vertices per facet and PLY and glTF keep their indexing.
// Each mesh is placed by the transform of the first node that uses it, as the
// file's author saw it. Values that are not finite make the file an error,
// as in the dedicated readers. Linear in the scene size.
#include <stdint.h>

#include <cmath>

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

#include "cli/io/MeshReaders.h"

namespace cliio {

namespace {

void FindPlacements(const aiNode* node, const aiMatrix4x4& parent, std::vector<aiMatrix4x4>* placement,
                    std::vector<bool>* placed) {
  const aiMatrix4x4 global = parent * node->mTransformation;
  for (unsigned i = 0; i < node->mNumMeshes; ++i) {
    const unsigned mesh = node->mMeshes[i];
    if (mesh < placed->size() && !(*placed)[mesh]) {
      (*placed)[mesh] = true;
      (*placement)[mesh] = global;
    }
  }
  for (unsigned i = 0; i < node->mNumChildren; ++i)
    if (node->mChildren[i]) FindPlacements(node->mChildren[i], global, placement, placed);
}

void DiffuseColor(const aiScene* scene, unsigned materialIndex, uint8_t argb[4]) {
  std::copy(kOpaqueWhite, kOpaqueWhite + 4, argb);
  if (materialIndex >= scene->mNumMaterials || !scene->mMaterials[materialIndex]) return;
  aiColor4D color;
  if (scene->mMaterials[materialIndex]->Get(AI_MATKEY_COLOR_DIFFUSE, color) != AI_SUCCESS) return;
  argb[0] = ColorByte(color.a);
  argb[1] = ColorByte(color.r);
  argb[2] = ColorByte(color.g);
  argb[3] = ColorByte(color.b);
}

}  // namespace

bool ReadWithAssimp(const std::filesystem::path& file, std::vector<CImportedMesh>* meshes, std::string* detail) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(file.string(), 0);
  if (!scene) {
    const std::string reason = importer.GetErrorString();
    *detail = "cannot be read as a mesh" + (reason.empty() ? std::string() : " (" + reason + ")");
    return false;
  }
  std::vector<aiMatrix4x4> placement(scene->mNumMeshes);
  std::vector<bool> placed(scene->mNumMeshes, false);
  if (scene->mRootNode) FindPlacements(scene->mRootNode, aiMatrix4x4(), &placement, &placed);

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
    CImportedMesh mesh;
    mesh.name = source->mName.length > 0 ? source->mName.C_Str() : label;
    const aiMatrix4x4& transform = placement[m];
    aiMatrix3x3 normalTransform(transform);
    normalTransform.Inverse().Transpose();
    const bool moves = !transform.IsIdentity();
    mesh.vertices.resize(source->mNumVertices);
    for (unsigned v = 0; v < source->mNumVertices; ++v) {
      CImportedVertex& vertex = mesh.vertices[v];
      const aiVector3D position = moves ? transform * source->mVertices[v] : source->mVertices[v];
      vertex.position[0] = position.x;
      vertex.position[1] = position.y;
      vertex.position[2] = position.z;
      if (source->mNormals) {
        aiVector3D normal = source->mNormals[v];
        if (moves) {
          normal = normalTransform * normal;
          if (normal.Length() > 0) normal.Normalize();
        }
        vertex.normal[0] = normal.x;
        vertex.normal[1] = normal.y;
        vertex.normal[2] = normal.z;
      }
      if (source->mTextureCoords[0]) {
        vertex.uvw[0] = source->mTextureCoords[0][v].x;
        vertex.uvw[1] = source->mTextureCoords[0][v].y;
        vertex.uvw[2] = source->mTextureCoords[0][v].z;
      }
      if (source->mColors[0]) {
        const aiColor4D& color = source->mColors[0][v];
        vertex.argb[0] = ColorByte(color.a);
        vertex.argb[1] = ColorByte(color.r);
        vertex.argb[2] = ColorByte(color.g);
        vertex.argb[3] = ColorByte(color.b);
      }
    }
    uint8_t facetColor[4];
    DiffuseColor(scene, source->mMaterialIndex, facetColor);
    std::vector<int32_t> corners;
    for (unsigned f = 0; f < source->mNumFaces && source->mFaces; ++f) {
      const aiFace& face = source->mFaces[f];
      corners.clear();
      for (unsigned i = 0; i < face.mNumIndices; ++i) {
        if (face.mIndices[i] >= source->mNumVertices) {
          *detail = label + " face " + std::to_string(f) + " names vertex " + std::to_string(face.mIndices[i]) +
                    " of " + std::to_string(source->mNumVertices);
          return false;
        }
        corners.push_back(static_cast<int32_t>(face.mIndices[i]));
      }
      AppendFacet(&mesh, corners.data(), corners.size(), facetColor);
    }
    for (unsigned v = 0; v < source->mNumVertices; ++v) {
      const CImportedVertex& vertex = mesh.vertices[v];
      bool finite = true;
      for (int i = 0; i < 3; ++i)
        finite = finite && std::isfinite(vertex.position[i]) && std::isfinite(vertex.normal[i]) && std::isfinite(vertex.uvw[i]);
      if (!finite) {
        *detail = label + " vertex " + std::to_string(v) + " has a value that is not a finite number";
        return false;
      }
    }
    meshes->push_back(std::move(mesh));
  }
  return true;
}

}  // namespace cliio
