#include "app/explorer1.h"

#include "res/resource_ids.h"

CExplorer1::CExplorer1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("id_%1").arg(res::IDC_EXPLORER));
    setEnabled(false);
    setVisible(false);
}
