// Each kind of source registers its creator here (one line each, in source-type order).
#include "import/importsources.h"

#include "import/impsource.h"
#include "import/mergesource.h"
#include "import/tablesource.h"
#include "import/textsource.h"

void RegisterImportSources()
{
    SetImportSourceCreator(IMPSRC_DATABASE_2010, CreateDb2010Source);
    SetImportSourceCreator(IMPSRC_TEXT, CreateTextSource);
    SetImportSourceCreator(IMPSRC_ACCESS, CreateTableSource);
    SetImportSourceCreator(IMPSRC_EXCEL, CreateTableSource);
}
