// The fallback species or locality typed on the wizard's target page: only what the user named
// there, made by the run inside the import's transaction (before the target tables open), so
// that a cancelled wizard, a cancelled run or a failed one leaves none of it in the file.
#pragma once
#include <string>
#include <vector>

class ImportRun;

struct TypedTarget {
    // A row of the page that holds a value, top down: the node chosen there (> 0) or the name
    // typed for a new node of that level. The last row is the item the records go to.
    struct Row {
        int Level;  // the level's number in the tree (SYSLEVEL, LOCLEVEL)
        int Node;
        std::wstring Name;
    };
    std::vector<Row> Rows;  // empty: nothing to make
    // A species: its name levels (the data levels, for the composed name) and its own fields.
    std::vector<int> NameLevels;
    std::wstring Author;
    bool Parentheses = false;
    int Year = 0;  // 0 none
    // A locality: its coordinates in degrees.
    double Longitude = 0, Latitude = 0;
};

// Makes the job's typed species and locality and points the job's fallbacks at them; false
// (logged, with the database's words) when the database refused one.
bool MakeTypedTargets(ImportRun& run);
