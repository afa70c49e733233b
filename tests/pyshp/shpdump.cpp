// Prints a layer as the project's reader sees it, one JSON object per line (the header, then
// each record; null for a record the reader refuses), for the comparison with python3-pyshp.
#include <windows.h>

#include <cstdio>

#include "shapefile/shapefile.h"

static void PrintArray(const char* name, const double* v, int n)
{
    printf(", \"%s\": [", name);
    for (int i = 0; i < n; ++i)
        printf(i ? ", %.17g" : "%.17g", v[i]);
    printf("]");
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 2;
    SHPHandle h = SHPOpenW(argv[1], "rb");
    if (!h) {
        printf("{\"open\": false}\n");
        return 1;
    }
    int count = 0, type = 0;
    double lo[4], hi[4];
    SHPGetInfo(h, &count, &type, lo, hi);
    printf("{\"open\": true, \"count\": %d, \"type\": %d, \"bbox\": [%.17g, %.17g, %.17g, %.17g]}\n", count, type, lo[0],
           lo[1], hi[0], hi[1]);
    for (int i = 0; i < count; ++i) {
        SHPObject* s = SHPReadObject(h, i);
        if (!s) {
            printf("null\n");
            continue;
        }
        printf("{\"type\": %d, \"parts\": [", s->nSHPType);
        for (int k = 0; k < s->nParts; ++k)
            printf(k ? ", %d" : "%d", s->panPartStart[k]);
        printf("], \"partTypes\": [");
        for (int k = 0; k < s->nParts; ++k)
            printf(k ? ", %d" : "%d", s->panPartType[k]);
        printf("]");
        PrintArray("x", s->padfX, s->nVertices);
        PrintArray("y", s->padfY, s->nVertices);
        PrintArray("z", s->padfZ, s->nVertices);
        PrintArray("m", s->padfM, s->nVertices);
        printf("}\n");
        SHPDestroyObject(s);
    }
    SHPClose(h);
    return 0;
}
