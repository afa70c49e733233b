// ZorSampleMap: writes the sample map layers of the Czech Republic into a folder.
//   ZorSampleMap.exe -o <folder> [-s <seed>] [-b] [-w <workspace file> -d <database>]
// -b adds the benchmark layers. Each layer is reported with its shape count, shape type,
// vertex count and bounds. -w also writes the workspace a fresh installation starts with: the
// map of these layers in front, with the database's species of the most records selected.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tools/samplemap/defaultworkspace.h"
#include "tools/samplemap/samplemap.h"

int wmain(int argc, wchar_t** argv)
{
    std::wstring folder, workspace, database;
    zor::SampleMapOptions options;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"-o" && i + 1 < argc)
            folder = argv[++i];
        else if (a == L"-s" && i + 1 < argc)
            options.Seed = wcstoull(argv[++i], nullptr, 10);
        else if (a == L"-w" && i + 1 < argc)
            workspace = argv[++i];
        else if (a == L"-d" && i + 1 < argc)
            database = argv[++i];
        else if (a == L"-b")
            options.Benchmark = true;
        else {
            fprintf(stderr, "usage: ZorSampleMap -o <folder> [-s <seed>] [-b] [-w <workspace file> -d <database>]\n");
            return 2;
        }
    }
    if (folder.empty() || workspace.empty() != database.empty()) {
        fprintf(stderr, "usage: ZorSampleMap -o <folder> [-s <seed>] [-b] [-w <workspace file> -d <database>]\n");
        return 2;
    }
    std::vector<zor::SampleLayerSummary> layers;
    std::wstring error;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the grid file is written through MSXML
    bool written = zor::WriteSampleMap(folder, options, &layers, &error);
    if (written && !workspace.empty())
        written = zor::WriteDefaultWorkspace(workspace, folder, zor::SpeciesWithMostRecords(database),
                                             database, &error);
    CoUninitialize();
    if (!written) {
        fprintf(stderr, "ZorSampleMap: %ls\n", error.c_str());
        return 1;
    }
    for (const zor::SampleLayerSummary& l : layers)
        printf("%ls: %d shapes, type %d, %lld vertices, bounds %.6f %.6f %.6f %.6f\n", l.File.c_str(), l.Shapes,
               l.ShapeType, l.Vertices, l.MinX, l.MinY, l.MaxX, l.MaxY);
    return 0;
}
