#include "res/resource_ids.h"
#include "res/resources.h"

namespace res {

QString LoadString(int id) {
    switch (id) {
    case IDS_OLE_INIT_FAILED:
        return QStringLiteral("OLE initialization failed.  Make sure that the OLE libraries are "
                              "the correct version.");
    case IDS_ABOUTBOX:
        return QStringLiteral("&About Kelvane For Zip...");
    default:
        return QString();
    }
}

} // namespace res
