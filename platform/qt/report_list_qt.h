// The look of a list view in report mode: grid lines between the cells, long
// texts shortened in the middle (a path keeps its file name), and a
// selection that reads clearly whether or not the list has the focus.
#pragma once

class QAbstractItemView;

namespace platform {

void ShowAsReportList(QAbstractItemView* view);

} // namespace platform
