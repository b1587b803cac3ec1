// The import worker's answer: everything CImportedMesh holds comes back as it
// was, and a stream that ends early or lies in any count is refused without
// leaving a mesh behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "cli/io/ImportStream.h"
#include "tests/cliio/MeshCompare.h"

namespace {

using cliio::CImportedMesh;
using cliio::EStreamOutcome;

class CBytesSource : public cliio::CStreamSource {
 public:
  explicit CBytesSource(std::string bytes) : mBytes(std::move(bytes)) {}
  bool Read(void* into, size_t size) override {
    if (size > mBytes.size() - mAt) return false;
    std::memcpy(into, mBytes.data() + mAt, size);
    mAt += size;
    return true;
  }
  bool MoreFollows() override { return mAt < mBytes.size(); }

 private:
  std::string mBytes;
  size_t mAt = 0;
};

// Every column in use: single positions, double normals, single uvws,
// vertex colours, facets of 1 to 4 corners, facet colours from the third on.
CImportedMesh Rich() {
  CImportedMesh mesh;
  mesh.name = "rich \xE2\x9C\x93";
  mesh.positions.SetSingle(true);
  mesh.uvws.SetSingle(true);
  for (int v = 0; v < 6; ++v) {
    mesh.positions.Add(v * 0.25, -v, 1e30 * v);
    mesh.normals.Add(0, 0, v % 2 ? 1 : -1);
    mesh.uvws.Add(v / 6.0, 1 - v / 6.0, 0);
    mesh.colors.push_back(0x01020304u * uint32_t(v + 1));
  }
  const int32_t corners[4] = {5, 4, 3, 2};
  for (int32_t count = 1; count <= 4; ++count) mesh.AddFacet(corners, count, count >= 3 ? 0x80FF0000u : 0xFFFFFFFFu);
  return mesh;
}

// Doubles, no attributes, uniform triangles, no colours.
CImportedMesh Plain() {
  CImportedMesh mesh;
  mesh.name = "plain";
  for (int v = 0; v < 5000; ++v) mesh.positions.Add(v, 1.0 / (v + 1), -v * 1e-300);
  for (int32_t f = 0; f + 2 < 5000; f += 3) {
    const int32_t corners[3] = {f, f + 1, f + 2};
    mesh.AddFacet(corners, 3);
  }
  return mesh;
}

std::string Written(const std::vector<CImportedMesh>& meshes, const std::vector<std::string>& warnings = {},
                    bool progress = true) {
  std::string bytes;
  FILE* file = std::tmpfile();
  {
    cliio::CImportStreamWriter writer(fileno(file));
    EXPECT_TRUE(writer.Begin());
    if (progress) {
      EXPECT_TRUE(writer.Progress(0.25));
    }
    for (const std::string& warning : warnings) EXPECT_TRUE(writer.Warning(warning));
    for (const CImportedMesh& mesh : meshes) EXPECT_TRUE(writer.Mesh(mesh));
    if (progress) {
      EXPECT_TRUE(writer.Progress(0.75));
    }
    EXPECT_TRUE(writer.End(meshes.size()));
  }
  std::rewind(file);
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

EStreamOutcome Read(const std::string& bytes, std::vector<CImportedMesh>* meshes, std::string* text,
                    std::vector<double>* fractions = nullptr, std::vector<std::string>* warnings = nullptr) {
  CBytesSource source(bytes);
  return cliio::ReadImportStream(
      &source,
      [fractions](double fraction) {
        if (fractions) fractions->push_back(fraction);
        return true;
      },
      warnings, meshes, text);
}

template <typename T>
void Patch(std::string* bytes, size_t at, T value) {
  std::memcpy(&(*bytes)[at], &value, sizeof value);
}

TEST(ImportStream, EveryColumnComesBackAsItWas) {
  const std::vector<CImportedMesh> sent = {Rich(), Plain()};
  std::vector<CImportedMesh> got;
  std::vector<double> fractions;
  std::vector<std::string> warnings;
  std::string text;
  ASSERT_EQ(Read(Written(sent, {"first", std::string("\0x", 2)}), &got, &text, &fractions, &warnings),
            EStreamOutcome::kMeshes)
      << text;
  EXPECT_EQ(fractions, (std::vector<double>{0.25, 0.75}));
  EXPECT_EQ(warnings, (std::vector<std::string>{"first", std::string("\0x", 2)}));
  ASSERT_EQ(got.size(), 2u);
  for (size_t m = 0; m < 2; ++m) ExpectSameMesh(sent[m], got[m]);
  EXPECT_TRUE(got[0].positions.Single());
  EXPECT_FALSE(got[0].normals.Single());
  EXPECT_FALSE(got[1].positions.Single());
}

TEST(ImportStream, EveryCutIsRefusedAndLeavesNoMesh) {
  const std::string whole = Written({Rich()}, {"w"});
  for (size_t length = 0; length < whole.size(); ++length) {
    std::vector<CImportedMesh> got(1);  // a mesh read before stays
    got[0].name = "earlier";
    std::string text;
    ASSERT_EQ(Read(whole.substr(0, length), &got, &text), EStreamOutcome::kEndedEarly) << length;
    EXPECT_NE(text.find("ends early"), std::string::npos) << text;
    ASSERT_EQ(got.size(), 1u) << length;
    EXPECT_EQ(got[0].name, "earlier");
  }
}

TEST(ImportStream, LiesAreRefused) {
  const std::string whole = Written({Rich()}, {}, false);
  // Offsets in the one-mesh stream: magic 8, 'M' 1, name length 4 + bytes.
  const size_t name = 8 + 1 + 4;
  const size_t vertices = name + Rich().name.size();
  const size_t columns = vertices + 4;
  const size_t firstPosition = columns + 1 + 4;
  const size_t firstFacet = firstPosition + 6 * 12 + 6 * 24 + 6 * 12 + 6 * 4;
  struct Lie {
    const char* what;
    std::string bytes;
    EStreamOutcome outcome;
  };
  std::vector<Lie> lies;
  auto lie = [&](const char* what, auto change, EStreamOutcome outcome = EStreamOutcome::kMalformed) {
    std::string bytes = whole;
    change(&bytes);
    lies.push_back({what, bytes, outcome});
  };
  lie("another magic", [](std::string* b) { (*b)[7] = '\2'; });
  lie("a name beyond the limit", [&](std::string* b) { Patch(b, name - 4, uint32_t(cliio::kMaxStreamName + 1)); });
  lie("an empty name", [&](std::string* b) { Patch(b, name - 4, uint32_t(0)); });
  lie("vertices beyond INT32_MAX", [&](std::string* b) { Patch(b, vertices, uint32_t(0x80000000u)); });
  // Claims that the bytes do not back: the stream ends first, nothing is
  // reserved for the claim.
  lie("two billion vertices", [&](std::string* b) {
        Patch(b, vertices, uint32_t(2000000000u));
        b->resize(firstPosition + 6 * 12);
      }, EStreamOutcome::kEndedEarly);
  lie("four billion facets", [&](std::string* b) {
        Patch(b, columns + 1, uint32_t(4000000000u));
        b->resize(b->size() - 5);
      }, EStreamOutcome::kEndedEarly);
  lie("an unknown column", [&](std::string* b) { (*b)[columns] = char(0x80); });
  lie("a position that is not finite",
      [&](std::string* b) { Patch(b, firstPosition, std::numeric_limits<float>::quiet_NaN()); });
  lie("a facet of no corners", [&](std::string* b) { (*b)[firstFacet] = 0; });
  lie("a facet of five corners", [&](std::string* b) { (*b)[firstFacet] = 5; });
  lie("a corner past the vertices", [&](std::string* b) { Patch(b, firstFacet + 1, int32_t(6)); });
  lie("a negative corner", [&](std::string* b) { Patch(b, firstFacet + 1, int32_t(-1)); });
  lie("a closing count that differs", [&](std::string* b) { Patch(b, b->size() - 4, uint32_t(2)); });
  lie("bytes after the end", [](std::string* b) { b->push_back('E'); });
  lie("an unknown record", [](std::string* b) { b->insert(8, "Z"); });
  lie("progress that falls", [](std::string* b) {
    std::string records = "P";
    records.append(8, '\0');
    Patch(&records, 1, 0.5);
    b->insert(8, records + records.substr(0, 1) + std::string(8, '\0'));
  });
  for (const Lie& l : lies) {
    std::vector<CImportedMesh> got;
    std::string text;
    EXPECT_EQ(Read(l.bytes, &got, &text), l.outcome) << l.what << ": " << text;
    EXPECT_TRUE(got.empty()) << l.what;
    EXPECT_FALSE(text.empty()) << l.what;
  }
}

TEST(ImportStream, AFailureOrAStopEndsTheRead) {
  FILE* file = std::tmpfile();
  {
    cliio::CImportStreamWriter writer(fileno(file));
    writer.Begin();
    writer.Mesh(Rich());
    writer.Failure("mesh 2 face 7 names vertex 9 of 3");
  }
  std::rewind(file);
  std::string bytes;
  char buffer[4096];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
  std::fclose(file);
  std::vector<CImportedMesh> got;
  std::string text;
  EXPECT_EQ(Read(bytes, &got, &text), EStreamOutcome::kFailure);
  EXPECT_EQ(text, "mesh 2 face 7 names vertex 9 of 3");
  EXPECT_TRUE(got.empty()) << "the meshes before the failure are dropped";

  CBytesSource source(Written({Rich()}));
  EXPECT_EQ(cliio::ReadImportStream(&source, [](double) { return false; }, nullptr, &got, &text),
            EStreamOutcome::kStopped);
  EXPECT_TRUE(got.empty());
}

TEST(ImportStream, AMeshTheFormatCannotCarryIsNotSent) {
  CImportedMesh uneven = Rich();
  uneven.colors.pop_back();
  FILE* file = std::tmpfile();
  cliio::CImportStreamWriter writer(fileno(file));
  ASSERT_TRUE(writer.Begin());
  EXPECT_FALSE(writer.Mesh(uneven));
  CImportedMesh unnamed = Plain();
  unnamed.name.clear();
  EXPECT_FALSE(writer.Mesh(unnamed));
  EXPECT_TRUE(writer.End(0)) << "the stream stays whole";
  std::fclose(file);
}

}  // namespace
