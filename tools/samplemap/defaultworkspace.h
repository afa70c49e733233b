// The workspace file of a fresh installation: the KFME grid, one map tab "Česká republika" on the
// sample layers styled as a distribution map (the records as filled KFME squares), that tab in
// front, and the species with the most records selected on the systematic card.
#pragma once
#include <string>

namespace zor {

// The species (systematic tree item) with the most records in the database; -1 when there is none.
long long SpeciesWithMostRecords(const std::wstring& database);

// Writes the workspace file at path (its folder is made when missing) for the layers in
// mapFolder, the species and the connection to the database; false with a message in error
// when it cannot be written.
bool WriteDefaultWorkspace(const std::wstring& path, const std::wstring& mapFolder, long long species,
                           const std::wstring& database, std::wstring* error);

}  // namespace zor
