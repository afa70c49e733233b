// Linked into every benchmark: the programs' keys of the prefix (the last workspace file, the
// program folder, the import logs' folder) are left as the benchmark found them. A benchmark
// starts the main form on a temporary workspace file, which the form's end writes as the last
// one; the next start of Zorna would otherwise look for that deleted file and open no database.
#include "tests/support/registrysnapshot.h"

namespace {

struct KeptForTheRun
{
    wintest::ProgramKeys keys;
    ~KeptForTheRun()
    {
        if (!keys.Unchanged())
            keys.Restore();
    }
} kept;

}  // namespace
