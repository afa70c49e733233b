#include "dataaccess/txnabandon.h"

#include "dataaccess/ado.h"
#include "dataaccess/odbccore.h"
#include "dataaccess/outertxn.h"

namespace zdata {

HRESULT AbandonTransactions(Connection* connection)
{
    std::shared_ptr<ConnectionCore> core = connection->Core();
    std::lock_guard<std::recursive_mutex> hold(core->lock);
    if (!core->IsOpen())
        return core->NotOpen();
    if (core->transactionLevel == 0)
        return S_OK;
    core->SchemaChanged();
    AbandonOutermost(*core);
    core->transactionLevel = 0;
    core->TransactionEnded();
    core->TransactionSettings(false);
    return S_OK;
}

}  // namespace zdata
