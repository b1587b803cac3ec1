// Fuzz target: whole mesh files through the command's importer. The first
// byte chooses the format (its value modulo the list below), the rest is the
// file. Import must never crash, hang, leak or read out of bounds; a success
// must hold only meshes with names and in-range corners of 1 to 4, a failure
// one printable line naming the input.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <string_view>

#include "cli/io/ImportWorker.h"
#include "cli/io/MeshImport.h"

#define IMPORT_CHECK(cond) \
  ((cond) ? (void)0 : (fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #cond), abort()))

namespace {

const char* const kFormats[] = {"obj", "off", "stl", "ply", "gltf", "glb", "dae", "x3d", "3ds", "fbx", "x", "amf"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
#ifdef TRESSEL_FUZZ_IN_PROCESS
  // Fuzzing proper reads the library's formats here, so that a crash in the
  // library stops the fuzzer; the corpus replay goes through the worker.
  cliio::SetLibraryReadInProcess(true);
#endif
  if (size == 0) return -1;
  const std::string format = kFormats[data[0] % (sizeof kFormats / sizeof kFormats[0])];
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string error;
  size_t reports = 0;
  double last = -1;
  cliio::CImportOptions options;
  options.format = format;
  options.progress = [&](double fraction) {
    IMPORT_CHECK(fraction >= last && fraction <= 1.0);
    last = fraction;
    ++reports;
    return true;
  };
  const auto meshes = cliio::ImportMeshBytes(bytes, "fuzz", &error, options);
  if (meshes.empty()) {
    IMPORT_CHECK(!error.empty());
    IMPORT_CHECK(error.rfind("fuzz: ", 0) == 0);
    for (char c : error) IMPORT_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    return 0;
  }
  IMPORT_CHECK(error.empty());
  IMPORT_CHECK(last == 1.0);
  for (const cliio::CImportedMesh& mesh : meshes) {
    IMPORT_CHECK(!mesh.name.empty());
    const size_t vertices = mesh.VertexCount();
    IMPORT_CHECK(mesh.normals.Empty() || mesh.normals.Size() == vertices);
    IMPORT_CHECK(mesh.uvws.Empty() || mesh.uvws.Size() == vertices);
    IMPORT_CHECK(mesh.colors.empty() || mesh.colors.size() == vertices);
    for (size_t f = 0; f < mesh.FacetCount(); ++f) {
      const int32_t count = mesh.CornerCount(f);
      IMPORT_CHECK(count >= 1 && count <= 4);
      for (int32_t k = 0; k < count; ++k) IMPORT_CHECK(mesh.Corner(f, k) >= 0 && size_t(mesh.Corner(f, k)) < vertices);
    }
  }
  return 0;
}
