// Writing shapefiles (.shp and .shx bytes) for the sample map layers and for tests. Portable
// C++; the files follow the same layout the reader checks.
#pragma once
#include <string>
#include <vector>

namespace shpw {

// One record. Points, multipoints and null records have no parts; lines, polygons and
// multipatches list the first vertex of each part (multipatches also each part's type). z and
// m may be empty (zeros are written where the type carries them).
struct Shape
{
    int Type = 0;
    std::vector<int> PartStarts;
    std::vector<int> PartTypes;
    std::vector<double> X, Y, Z, M;
};

struct Bytes
{
    std::vector<unsigned char> Shp;
    std::vector<unsigned char> Shx;
};

// The two files of a layer of the given shape type. The header bounds cover every vertex.
Bytes WriteShapefile(int fileType, const std::vector<Shape>& shapes);

#ifdef _WIN32
// Writes bytes in place of the file at a wide path; false when it cannot be written whole.
bool WriteFileBytes(const std::wstring& path, const std::vector<unsigned char>& bytes);
#endif

}  // namespace shpw
