// A record the records table refused, as the import's log tells it: one the records already hold
// (their unique index of species, locality and the key attributes) names the key attributes by
// their captions; any other refusal is the connection's errors.
#pragma once

class ImportRun;

// Logs why the last write of a record was refused, for the run's current line.
void LogRecordRefusal(ImportRun& run);
