// Each kind of source registers its creator here (one line each, in source-type order).
#include "import/importsources.h"

#include "import/impsource.h"

void RegisterImportSources()
{
}
