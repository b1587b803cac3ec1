// Memory-mapped readers (binary STL, ASCII OFF with std::from_chars) and a
// buffered OBJ writer for the peer pipelines. Linear in the file size.
#include "bench/PeerMesh.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

class CMappedFile {
 public:
  explicit CMappedFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    struct stat info;
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
      void* map = mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (map != MAP_FAILED) {
        mData = static_cast<const char*>(map);
        mSize = size_t(info.st_size);
      }
    }
    close(fd);
  }
  ~CMappedFile() {
    if (mData) munmap(const_cast<char*>(mData), mSize);
  }
  CMappedFile(const CMappedFile&) = delete;
  CMappedFile& operator=(const CMappedFile&) = delete;
  const char* Data() const { return mData; }
  size_t Size() const { return mSize; }

 private:
  const char* mData = nullptr;
  size_t mSize = 0;
};

bool EndsWith(const std::string& text, const char* ending) {
  const size_t length = std::strlen(ending);
  return text.size() >= length && text.compare(text.size() - length, length, ending) == 0;
}

bool ReadStl(const CMappedFile& file, CPeerMesh* mesh, std::string* error) {
  uint32_t triangles = 0;
  if (file.Size() < 84) return *error = "shorter than a binary STL header", false;
  std::memcpy(&triangles, file.Data() + 80, 4);
  if (file.Size() < 84 + size_t(triangles) * 50) return *error = "shorter than its triangle count says", false;
  mesh->positions.resize(size_t(triangles) * 9);
  mesh->indices.resize(size_t(triangles) * 3);
  mesh->faceStarts.resize(size_t(triangles) + 1);
  const char* record = file.Data() + 84;
  for (size_t t = 0; t < triangles; ++t, record += 50) {
    std::memcpy(&mesh->positions[t * 9], record + 12, 36);
    for (uint32_t k = 0; k < 3; ++k) mesh->indices[t * 3 + k] = uint32_t(t * 3 + k);
    mesh->faceStarts[t] = uint32_t(t * 3);
  }
  mesh->faceStarts[triangles] = triangles * 3;
  return true;
}

// A cursor over the OFF text: numbers separated by white space; '#' starts a comment.
struct CCursor {
  const char* at;
  const char* end;
  void Skip() {
    while (at < end) {
      if (*at == '#') {
        while (at < end && *at != '\n') ++at;
      } else if (*at == ' ' || *at == '\n' || *at == '\r' || *at == '\t') {
        ++at;
      } else {
        break;
      }
    }
  }
  template <typename T>
  bool Number(T* value) {
    Skip();
    auto [next, fault] = std::from_chars(at, end, *value);
    if (fault != std::errc()) return false;
    at = next;
    return true;
  }
};

bool ReadOff(const CMappedFile& file, CPeerMesh* mesh, std::string* error) {
  CCursor cursor{file.Data(), file.Data() + file.Size()};
  cursor.Skip();
  if (file.Size() < 3 || std::memcmp(cursor.at, "OFF", 3) != 0) return *error = "no OFF header", false;
  cursor.at += 3;
  uint64_t vertices = 0, faces = 0, edges = 0;
  if (!cursor.Number(&vertices) || !cursor.Number(&faces) || !cursor.Number(&edges))
    return *error = "bad OFF counts", false;
  if (vertices > file.Size() || faces > file.Size()) return *error = "OFF counts larger than the file", false;
  mesh->positions.resize(size_t(vertices) * 3);
  for (float& value : mesh->positions)
    if (!cursor.Number(&value)) return *error = "bad vertex coordinate", false;
  mesh->faceStarts.reserve(size_t(faces) + 1);
  mesh->indices.reserve(size_t(faces) * 4);
  for (uint64_t f = 0; f < faces; ++f) {
    uint32_t count = 0;
    if (!cursor.Number(&count) || count < 3) return *error = "bad face size", false;
    mesh->faceStarts.push_back(uint32_t(mesh->indices.size()));
    for (uint32_t k = 0; k < count; ++k) {
      uint32_t index = 0;
      if (!cursor.Number(&index) || index >= vertices) return *error = "face index out of range", false;
      mesh->indices.push_back(index);
    }
  }
  mesh->faceStarts.push_back(uint32_t(mesh->indices.size()));
  return true;
}

}  // namespace

bool ReadPeerMesh(const std::string& path, CPeerMesh* mesh, std::string* error) {
  CMappedFile file(path);
  if (!file.Data()) return *error = path + ": cannot be read", false;
  bool read = EndsWith(path, ".stl") ? ReadStl(file, mesh, error)
              : EndsWith(path, ".off") ? ReadOff(file, mesh, error)
                                      : (*error = "not .stl or .off", false);
  if (!read) *error = path + ": " + *error;
  return read;
}

bool WriteChains(const std::string& path, const std::vector<float>& positions,
                 const std::vector<std::vector<uint32_t>>& chains, std::string* error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return *error = path + ": cannot be written", false;
  std::string buffer;
  buffer.reserve(1 << 20);
  bool written = true;
  auto flush = [&] {
    written = written && std::fwrite(buffer.data(), 1, buffer.size(), file) == buffer.size();
    buffer.clear();
  };
  char text[32];
  auto number = [&](auto value) { buffer.append(text, size_t(std::to_chars(text, text + sizeof text, value).ptr - text)); };
  uint64_t next = 1;
  for (const std::vector<uint32_t>& chain : chains) {
    for (uint32_t v : chain) {
      buffer += "v ";
      for (int k = 0; k < 3; ++k) {
        if (k) buffer += ' ';
        number(positions[size_t(v) * 3 + size_t(k)]);
      }
      buffer += '\n';
    }
    buffer += 'l';
    for (size_t k = 0; k <= chain.size(); ++k) {
      buffer += ' ';
      number(next + (k % chain.size()));
    }
    buffer += '\n';
    next += chain.size();
    if (buffer.size() >= (1 << 20)) flush();
  }
  flush();
  written = std::fclose(file) == 0 && written;
  if (!written) *error = path + ": could not be written";
  return written;
}
