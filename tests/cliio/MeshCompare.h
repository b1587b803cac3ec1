// Whether two imported meshes hold the same: name, every column (with its
// precision), every facet and colour.
#ifndef TRESSEL_TESTS_CLIIO_MESHCOMPARE_H
#define TRESSEL_TESTS_CLIIO_MESHCOMPARE_H

#include <gtest/gtest.h>

#include <cstring>

#include "cli/io/MeshData.h"

inline void ExpectSameColumn(const cliio::CVectorColumn& a, const cliio::CVectorColumn& b, const char* what) {
  ASSERT_EQ(a.Size(), b.Size()) << what;
  if (a.Empty()) return;
  EXPECT_EQ(a.Single(), b.Single()) << what;
  for (size_t i = 0; i < a.Size(); ++i) {
    double x[3], y[3];
    a.Get(i, x);
    b.Get(i, y);
    ASSERT_EQ(std::memcmp(x, y, sizeof x), 0) << what << " " << i;
  }
}

inline void ExpectSameMesh(const cliio::CImportedMesh& a, const cliio::CImportedMesh& b) {
  EXPECT_EQ(a.name, b.name);
  ExpectSameColumn(a.positions, b.positions, "position");
  ExpectSameColumn(a.normals, b.normals, "normal");
  ExpectSameColumn(a.uvws, b.uvws, "uvw");
  EXPECT_EQ(a.colors, b.colors);
  ASSERT_EQ(a.FacetCount(), b.FacetCount()) << a.name;
  for (size_t f = 0; f < a.FacetCount(); ++f) {
    ASSERT_EQ(a.CornerCount(f), b.CornerCount(f)) << a.name << " facet " << f;
    for (int32_t k = 0; k < a.CornerCount(f); ++k)
      ASSERT_EQ(a.Corner(f, k), b.Corner(f, k)) << a.name << " facet " << f << " corner " << k;
    ASSERT_EQ(a.FacetColor(f), b.FacetColor(f)) << a.name << " facet " << f;
  }
}

#endif  // TRESSEL_TESTS_CLIIO_MESHCOMPARE_H
