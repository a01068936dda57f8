// The preview's entry list: a report list over a table model that takes the
// analysis worker's rows in batches. Appending costs the same at the last
// row as at the first; texts become widgets' strings only when shown.
#pragma once

#include "workflow/entry_row.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QTableView>
#include <array>
#include <string>
#include <vector>

class CEntryListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    void SetHeadings(const QStringList& headings);
    void Append(std::vector<EntryRow> rows);
    void Clear();
    // The text of `column` in `row`, as the list shows it.
    QString Text(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // By the values the texts show: sizes, ratios, times and CRCs as
    // numbers, names and methods as text. Rows that come later are appended unsorted.
    void sort(int column, Qt::SortOrder order) override;

private:
    struct Row {
        std::array<std::wstring, entryColumnCount> texts;
        std::array<std::uint64_t, entryColumnCount> values{};
        bool encrypted = false;
    };

    QStringList m_headings;
    std::vector<Row> m_rows;
};

class CEntryListView : public QTableView {
    Q_OBJECT

public:
    explicit CEntryListView(QWidget* parent = nullptr);

    CEntryListModel* Model() const { return qobject_cast<CEntryListModel*>(model()); }
    // The rows as the list holds them; 0 without a model.
    int RowCount() const;

    // The other columns at their `preferred` widths, or, where the list is
    // too narrow for those, no narrower than their `fitting` ones (their
    // widest text); the names take what is left, at least `least` pixels.
    void FitColumns(std::vector<int> preferred, std::vector<int> fitting, int least);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FitNameColumn();

    int m_leastNameWidth = 0;
    std::vector<int> m_preferred;
    std::vector<int> m_fitting;
};
