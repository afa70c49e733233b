// ZorSampleMap: writes the sample map layers of the Czech Republic into a folder.
//   ZorSampleMap.exe -o <folder> [-s <seed>] [-b]
// -b adds the benchmark layers. Each layer is reported with its shape count, shape type,
// vertex count and bounds.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "samplemap/samplemap.h"

int wmain(int argc, wchar_t** argv)
{
    std::wstring folder;
    zor::SampleMapOptions options;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"-o" && i + 1 < argc)
            folder = argv[++i];
        else if (a == L"-s" && i + 1 < argc)
            options.Seed = wcstoull(argv[++i], nullptr, 10);
        else if (a == L"-b")
            options.Benchmark = true;
        else {
            fprintf(stderr, "usage: ZorSampleMap -o <folder> [-s <seed>] [-b]\n");
            return 2;
        }
    }
    if (folder.empty()) {
        fprintf(stderr, "usage: ZorSampleMap -o <folder> [-s <seed>] [-b]\n");
        return 2;
    }
    std::vector<zor::SampleLayerSummary> layers;
    std::wstring error;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // the grid file is written through MSXML
    bool written = zor::WriteSampleMap(folder, options, &layers, &error);
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
