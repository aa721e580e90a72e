#include "JobListCtrl.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <algorithm>

#include "Controls.h"
#include "res/Strings.h"
#include "res/resource.h"

namespace {

constexpr int kStatusColumnWidth = 60;
constexpr int kPathColumnWidth = 270;
// Room left and right of a cell's text.
constexpr int kCellPadding = 12;
// Room above and below the text of a row.
constexpr int kRowPadding = 6;

}  // namespace

CJobListCtrl::CJobListCtrl(QWidget* parent) : QTableWidget(parent) {
    setControlId(this, IDC_LIST);
    std::vector<std::string> titles = columnTitles();
    setColumnCount(static_cast<int>(titles.size()));
    QStringList labels;
    for (const std::string& t : titles) labels << QString::fromStdString(t);
    setHorizontalHeaderLabels(labels);
    // The status column is 60 pixels wide, or as wide as its longest text in this font.
    int statusWidth = kStatusColumnWidth;
    for (int status = 0; status <= static_cast<int>(JobStatus::Failed); ++status) {
        QString text = QString::fromUtf8(loadString(statusStringId(status)));
        statusWidth = std::max(statusWidth, fontMetrics().horizontalAdvance(text) + kCellPadding);
    }
    for (int c = 0; c < columnCount(); ++c)
        setColumnWidth(c, c == 0 ? statusWidth : kPathColumnWidth);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowPadding);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTabKeyNavigation(false);
    connect(this, &QTableWidget::itemSelectionChanged, this, &CJobListCtrl::listChanged);
}

int CJobListCtrl::insertJob(std::unique_ptr<ConversionJob> job) {
    int row = m_jobs.append(std::move(job));
    {
        QSignalBlocker quiet(this);
        insertRow(row);
    }
    updateRow(row);
    return row;
}

void CJobListCtrl::updateRow(int row) {
    std::vector<std::string> texts = rowTexts(m_jobs.at(row));
    for (size_t i = 0; i < texts.size(); ++i)
        setItemText(row, static_cast<int>(i), QString::fromStdString(texts[i]));
    emit listChanged();
}

void CJobListCtrl::setItemText(int row, int subItem, const QString& text) {
    if (row < 0 || row >= rowCount() || subItem >= columnCount()) return;
    QTableWidgetItem* cell = item(row, subItem);
    if (!cell) {
        cell = new QTableWidgetItem;
        setItem(row, subItem, cell);
    }
    cell->setText(text);
    cell->setToolTip(subItem == 0 ? QString() : text);
}

QString CJobListCtrl::itemText(int row, int subItem) const {
    const QTableWidgetItem* cell = item(row, subItem);
    return cell ? cell->text() : QString();
}

void CJobListCtrl::deleteItem(int row) {
    {
        // The selection changes while the row goes; the list is consistent only after.
        QSignalBlocker quiet(this);
        removeRow(row);
        m_jobs.remove(row);
    }
    emit listChanged();
}

std::vector<int> CJobListCtrl::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}
