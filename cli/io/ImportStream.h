// The byte stream in which the import worker (ImportWorker.h) answers: the
// meshes it read, its progress and warnings, or why it failed. Written
// against CImportedMesh's public interface only, so a change of the columns'
// representation touches this file alone.
//
// Format (every number little-endian; `text` is a u32 byte count, then the
// bytes, not terminated):
//
//   stream   := magic record* last
//   magic    := the 8 bytes "TrImpS\x00\x01" (the last byte is the version)
//   record   := 'P' f64 fraction          progress, 0..1, never decreasing
//             | 'W' text                  a warning (at most kMaxStreamText bytes)
//             | 'M' mesh
//   last     := 'E' u32 meshCount         success: exactly that many 'M' came before
//             | 'F' text                  failure: the reason, without the file's name
//   mesh     := text name                 1..kMaxStreamName bytes
//               u32 vertexCount           at most INT32_MAX
//               u8 columns                bit 0: positions single precision (else double)
//                                         bit 1: normals given, bit 2: normals single
//                                         bit 3: uvws given,    bit 4: uvws single
//                                         bit 5: vertex colours given
//                                         bit 6: facet colours given
//               u32 facetCount
//               positions                 vertexCount x 3 values (f32 or f64, finite)
//               normals, uvws             the same, when given
//               colours                   vertexCount x u32 (ColorWord), when given
//               facet*                    facetCount times:
//   facet    := u8 cornerCount (1..4), cornerCount x i32 corner (0 <= corner < vertexCount),
//               u32 colour (ColorWord) when facet colours are given
//
// Nothing may follow the last record. The reader trusts nothing: every
// count, corner and value is checked, and memory grows only with the bytes
// that actually arrive, so a lying count costs an error, not an allocation.
#ifndef TRESSEL_CLI_IO_IMPORTSTREAM_H
#define TRESSEL_CLI_IO_IMPORTSTREAM_H

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "cli/io/MeshData.h"

namespace cliio {

constexpr char kImportStreamMagic[8] = {'T', 'r', 'I', 'm', 'p', 'S', '\0', '\1'};
constexpr size_t kMaxStreamText = 64 * 1024;
constexpr size_t kMaxStreamName = 1024 * 1024;
// More warnings than this make the stream malformed (a worker gone astray).
constexpr size_t kMaxStreamWarnings = 10000;

// Writes a stream to a descriptor (a pipe), buffered in a fixed block: no
// record allocates, so a failure can still be sent when memory has run out.
// Every call answers false once a write has failed (the reader is gone).
class CImportStreamWriter {
 public:
  explicit CImportStreamWriter(int descriptor) : mDescriptor(descriptor) {}
  CImportStreamWriter(const CImportStreamWriter&) = delete;
  CImportStreamWriter& operator=(const CImportStreamWriter&) = delete;

  bool Begin();
  bool Progress(double fraction);
  bool Warning(const std::string& text);
  // False also for a mesh the format cannot carry (columns of another length
  // than the positions, more than INT32_MAX vertices); nothing of it is sent
  // then and the stream is still whole: the caller should send a failure.
  bool Mesh(const CImportedMesh& mesh);
  // The last record; each flushes the buffer.
  bool End(size_t meshes);
  bool Failure(const char* detail, size_t length);
  bool Failure(const std::string& detail) { return Failure(detail.data(), detail.size()); }

 private:
  bool Put(const void* bytes, size_t size);
  bool PutU32(uint32_t value);
  bool PutText(const char* text, size_t length);
  bool PutColumn(const CVectorColumn& column, size_t count);
  bool Flush();

  int mDescriptor;
  bool mOk = true;
  size_t mUsed = 0;
  char mBuffer[64 * 1024];
};

// Where the reader's bytes come from. Read fills exactly `size` bytes or
// answers false: the stream ended early, or the source gave up (it keeps why).
class CStreamSource {
 public:
  virtual ~CStreamSource() = default;
  virtual bool Read(void* into, size_t size) = 0;
  // After a Read answered true for every byte, whether there are more: true
  // when bytes follow the stream's end.
  virtual bool MoreFollows() = 0;
};

// What a whole stream said.
enum class EStreamOutcome {
  kMeshes,     // an 'E' record: *meshes holds them all
  kFailure,    // an 'F' record: *text is the worker's reason
  kEndedEarly, // the source ended (or gave up) before the last record: *text says where
  kStopped,    // `progress` answered false
  kMalformed,  // anything else: *text says what is wrong
};

// Reads a whole stream from `source`: meshes are appended to *meshes,
// warnings to *warnings (when given), progress is passed to `progress` (when
// given; answering false stops the read: kStopped). On
// any outcome but kMeshes the meshes appended are removed again.
// Throws std::bad_alloc when the meshes do not fit in memory.
EStreamOutcome ReadImportStream(CStreamSource* source, const std::function<bool(double)>& progress,
                                std::vector<std::string>* warnings, std::vector<CImportedMesh>* meshes,
                                std::string* text);

}  // namespace cliio

#endif  // TRESSEL_CLI_IO_IMPORTSTREAM_H
