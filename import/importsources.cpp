// Each kind of source registers its creator here (one line each, in source-type order).
#include "import/importsources.h"

#include "import/exchangelocality.h"
#include "import/exchangerecords.h"
#include "import/exchangesystem.h"
#include "import/impsource.h"
#include "import/textsource.h"

void RegisterImportSources()
{
    SetImportSourceCreator(IMPSRC_RECORDS_2002, CreateRecordsExchangeSource);
    SetImportSourceCreator(IMPSRC_SYSTEM_2002, CreateSystemExchangeSource);
    SetImportSourceCreator(IMPSRC_LOCALITY_2002, CreateLocalityExchangeSource);
    SetImportSourceCreator(IMPSRC_TEXT, CreateTextSource);
}
