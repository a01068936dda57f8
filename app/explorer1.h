// CExplorer1: where the preview's template has its embedded browser control
// (1006). No web engine is linked; the control was never shown or called,
// so a hidden, disabled widget keeps its place and id.
#pragma once

#include <QWidget>

// Class id of the embedded browser control the template names.
inline constexpr const wchar_t* kExplorerClassId = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

class CExplorer1 : public QWidget {
    Q_OBJECT

public:
    explicit CExplorer1(QWidget* parent = nullptr);
};
