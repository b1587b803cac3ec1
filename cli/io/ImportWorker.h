// The library's formats are read in a separate process, the import worker:
// the helper executable `tressel-import`, started fresh (fork and exec) for
// each file. The library leaks on some of its error paths and can still crash
// on files the prechecks do not foresee; in the worker a leak ends with the
// process and a crash is one error line, while the command's own readers
// (OBJ, OFF, STL, the common PLY layouts) stay in the command's process.
//
// The worker gets the file's bytes on its standard input (the file itself, or
// a memory file holding bytes from standard input), the format, the name for
// unnamed meshes and the path (for the files a model refers to) as arguments,
// and answers on descriptor 3 in the import stream (ImportStream.h). Its
// standard output is /dev/null, its standard error the command's. It dies
// with the thread that started it (PR_SET_PDEATHSIG), writes no core file,
// and is always waited for: killed when the read is cancelled or its answer
// is malformed, so no zombie or orphan is left behind.
#ifndef TRESSEL_CLI_IO_IMPORTWORKER_H
#define TRESSEL_CLI_IO_IMPORTWORKER_H

#include <string>
#include <vector>

#include "cli/io/MeshData.h"
#include "cli/io/MeshReaders.h"

namespace cliio {

// The helper's file name. It is looked for beside the running executable
// (the build tree), then in ../lib/tressel from there (an installed tree,
// where the module lives too). $TRESSEL_IMPORT_WORKER, when set, names the
// program to run instead (the tests use it for workers that misbehave).
constexpr const char* kImportWorkerName = "tressel-import";

// Reads `input` (already prechecked) in `format` with the library in a
// worker. On failure *detail is one line without the file's name: the
// worker's own reason, or how it ended (the signal it died of, its exit
// status, an answer that is malformed or ends early), or kCancelledDetail
// when input.progress asked to stop (the worker is then killed at once).
// Throws std::bad_alloc when the meshes do not fit in this process.
bool ReadWithAssimpInWorker(const CReadInput& input, const std::string& format, std::vector<CImportedMesh>* meshes,
                            std::string* detail);

// Reads `input` with the library in this process (the worker's own work), on
// a thread with a large stack; without the prechecks.
bool ReadWithAssimpInProcess(const CReadInput& input, const std::string& format, std::vector<CImportedMesh>* meshes,
                             std::string* detail);

// Whether ReadWithAssimp reads in this process rather than in a worker: off
// by default; on in the worker itself and in the fuzzing build, where a
// crash in the library should stop the fuzzer, not become an error line.
void SetLibraryReadInProcess(bool inProcess);
bool LibraryReadInProcess();

}  // namespace cliio

#endif  // TRESSEL_CLI_IO_IMPORTWORKER_H
