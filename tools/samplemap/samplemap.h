// The sample map layers of the Czech Republic, made from the sample database's own geography
// (its border outline, regions and district towns), deterministic by seed and with nothing
// downloaded: the border, the 14 regions tiling it, the main rivers, the district towns, a .dbf
// of names for each layer (with a .cpg saying UTF-8, so other GIS tools open them) and the KFME
// grid definition file. With the benchmark option also a layer of 2,000 polygons of 1,500,000
// vertices (a tenth of them with holes) and one of lines with 300,000 vertices.
#pragma once
#include <string>
#include <vector>

struct GridDef;

namespace zor {

struct SampleMapOptions
{
    unsigned long long Seed = 2011;
    bool Benchmark = false;
};

// What one written layer holds, as the generator reports it.
struct SampleLayerSummary
{
    std::wstring File;  // file name of the .shp
    int Shapes = 0;
    int ShapeType = 0;
    long long Vertices = 0;
    double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
};

// The file names of the layers and of the grid file in the folder.
extern const wchar_t kSampleBorderLayer[];
extern const wchar_t kSampleRegionLayer[];
extern const wchar_t kSampleRiverLayer[];
extern const wchar_t kSampleTownLayer[];
extern const wchar_t kSampleBenchPolygonLayer[];
extern const wchar_t kSampleBenchLineLayer[];
extern const wchar_t kSampleGridFile[];

// Writes every layer into the folder (made when missing; files of the same names are
// replaced). False with a message in error when something cannot be written.
bool WriteSampleMap(const std::wstring& folder, const SampleMapOptions& options, std::vector<SampleLayerSummary>* layers,
                    std::wstring* error);

// The KFME grid of the Czech Republic: coarse cells of 10' x 6', fine cells of 5' x 3'.
void MakeKfmeGrid(::GridDef* grid);

}  // namespace zor
