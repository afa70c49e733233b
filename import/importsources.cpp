// Each kind of source registers its creator here (one line each, in source-type order).
#include "import/importsources.h"

#include "import/exchangelocality.h"
#include "import/exchangerecords.h"
#include "import/exchangesystem.h"
#include "import/impsource.h"
#include "import/mergesource.h"
#include "import/tablesource.h"
#include "import/textsource.h"

void RegisterImportSources()
{
    SetImportSourceCreator(IMPSRC_RECORDS_2002, CreateRecordsExchangeSource);
    SetImportSourceCreator(IMPSRC_SYSTEM_2002, CreateSystemExchangeSource);
    SetImportSourceCreator(IMPSRC_LOCALITY_2002, CreateLocalityExchangeSource);
    SetImportSourceCreator(IMPSRC_DATABASE_2010, CreateDb2010Source);
    SetImportSourceCreator(IMPSRC_TEXT, CreateTextSource);
    SetImportSourceCreator(IMPSRC_ACCESS, CreateTableSource);
    SetImportSourceCreator(IMPSRC_EXCEL, CreateTableSource);
}
