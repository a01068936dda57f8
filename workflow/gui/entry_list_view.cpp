#include "workflow/gui/entry_list_view.h"

#include "platform/qt/report_list_qt.h"

#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <algorithm>
#include <cwctype>
#include <iterator>

namespace {

// The mark of an encrypted entry: a small padlock, drawn so that no theme
// or picture file is needed.
const QIcon& EncryptedMark() {
    static const QIcon icon = [] {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(90, 90, 90), 2));
        painter.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
        painter.drawLine(QPointF(4.5, 6), QPointF(4.5, 8));
        painter.drawLine(QPointF(11.5, 6), QPointF(11.5, 8));
        painter.setPen(QPen(QColor(120, 80, 0), 1));
        painter.setBrush(QColor(230, 170, 30));
        painter.drawRoundedRect(QRectF(2.5, 7.5, 11, 7.5), 1.5, 1.5);
        painter.fillRect(QRectF(7.25, 9.5, 1.5, 3), QColor(90, 60, 0));
        return QIcon(pixmap);
    }();
    return icon;
}

} // namespace

void CEntryListModel::SetHeadings(const QStringList& headings) {
    beginResetModel();
    m_headings = headings;
    endResetModel();
}

void CEntryListModel::Append(std::vector<EntryRow> rows) {
    if (rows.empty())
        return;
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(rows.size()) - 1);
    m_rows.reserve(m_rows.size() + rows.size());
    for (EntryRow& row : rows) {
        Row& added = m_rows.emplace_back();
        added.texts = std::move(row.texts);
        added.values[columnUncompressedSize] = row.uncompressedSize;
        added.values[columnCompressedSize] = row.compressedSize;
        added.values[columnRatio] = row.ratio;
        // Times before 1970 sort first too.
        added.values[columnModifiedTime] =
            static_cast<std::uint64_t>(row.modifiedTime) ^ (std::uint64_t{1} << 63);
        added.values[columnCrc] = row.crc;
        added.encrypted = row.encrypted;
    }
    endInsertRows();
}

void CEntryListModel::Clear() {
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

QString CEntryListModel::Text(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= entryColumnCount)
        return {};
    return QString::fromStdWString(
        m_rows[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)]);
}

int CEntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CEntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
}

QVariant CEntryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return Text(index.row(), index.column());
    if (index.column() != columnFileName)
        return {};
    const bool encrypted = m_rows[static_cast<std::size_t>(index.row())].encrypted;
    // A long name is shortened in the middle on screen; the tip shows it whole.
    if (role == Qt::ToolTipRole)
        return Text(index.row(), index.column()) +
               (encrypted ? QStringLiteral("\nEncrypted: its password is asked before saving")
                          : QString());
    if (role == Qt::DecorationRole && encrypted)
        return EncryptedMark();
    return {};
}

QVariant CEntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headings.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_headings[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    if (role == Qt::InitialSortOrderRole)
        return QVariant::fromValue(Qt::AscendingOrder);
    return {};
}

void CEntryListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= entryColumnCount)
        return;
    const auto column_ = static_cast<std::size_t>(column);
    const auto less = [column_](const Row& a, const Row& b) {
        if (column_ == columnFileName || column_ == columnMethod) {
            const std::wstring& x = a.texts[column_];
            const std::wstring& y = b.texts[column_];
            return std::lexicographical_compare(
                x.begin(), x.end(), y.begin(), y.end(),
                [](wchar_t c, wchar_t d) { return std::towlower(c) < std::towlower(d); });
        }
        return a.values[column_] < b.values[column_];
    };
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    if (order == Qt::AscendingOrder)
        std::stable_sort(m_rows.begin(), m_rows.end(), less);
    else
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [&less](const Row& a, const Row& b) { return less(b, a); });
    // No persistent indexes are kept over the list (selections are cleared).
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

CEntryListView::CEntryListView(QWidget* parent) : QTableView(parent) {
    verticalHeader()->hide();
    // One height for every row, so that no row is ever measured.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    // A click on a heading sorts by it (ascending first); a second click
    // turns the order. No heading shows the mark until then.
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(horizontalHeader(), &QHeaderView::sortIndicatorChanged, this,
            [this](int section, Qt::SortOrder order) {
                clearSelection();
                if (model() != nullptr && section >= 0)
                    model()->sort(section, order);
            });
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    platform::ShowAsReportList(this);
}

int CEntryListView::RowCount() const {
    return model() ? model()->rowCount() : 0;
}

void CEntryListView::FitColumns(std::vector<int> preferred, std::vector<int> fitting, int least) {
    m_preferred = std::move(preferred);
    m_fitting = std::move(fitting);
    m_leastNameWidth = least;
    FitNameColumn();
}

void CEntryListView::FitNameColumn() {
    const int columns = model() == nullptr ? 0 : model()->columnCount();
    if (columns <= columnFileName || m_preferred.size() < static_cast<std::size_t>(columns) ||
        m_fitting.size() < static_cast<std::size_t>(columns))
        return;
    int preferred = 0;
    int fitting = 0;
    for (int column = 0; column < columns; ++column)
        if (column != columnFileName) {
            preferred += m_preferred[static_cast<std::size_t>(column)];
            fitting += m_fitting[static_cast<std::size_t>(column)];
        }
    // Too narrow for the preferred widths: each column gives up the same
    // share of what it has beyond its widest text, before any goes out of
    // sight.
    const int room = viewport()->width() - m_leastNameWidth;
    const int spare = preferred - fitting;
    const int over = std::clamp(preferred - room, 0, spare);
    int others = 0;
    for (int column = 0; column < columns; ++column) {
        if (column == columnFileName)
            continue;
        const int want = m_preferred[static_cast<std::size_t>(column)];
        const int least = m_fitting[static_cast<std::size_t>(column)];
        const int width =
            spare == 0
                ? want
                : want - static_cast<int>(static_cast<long long>(want - least) * over / spare);
        setColumnWidth(column, width);
        others += width;
    }
    setColumnWidth(columnFileName, std::max(m_leastNameWidth, viewport()->width() - others));
}

void CEntryListView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    // A list made wider first shows every column, then gives the names room.
    if (m_leastNameWidth > 0)
        FitNameColumn();
}
