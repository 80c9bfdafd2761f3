#include "app/mytablecontroller.h"
#include "app/table_filters.h"
#include "ui_mainwindow.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSplitter>
#include <QtGlobal>
#include <limits>

namespace quarry::app {
namespace {

using media::TableColumn;
using media::TableDataSourceModel;

// Logs a violated precondition of a table operation; the caller then leaves the cell empty.
bool parameterSatisfied(bool condition, const char* conditionText) {
    if (!condition)
        qWarning("Invalid parameter not satisfying: %s", conditionText);
    return condition;
}

template <class List> bool validRow(const List& list, int row) {
    return row >= 0 && static_cast<std::size_t>(row) < list.size();
}

QVariant checkListValue(const signatures::CheckListRow& row, const QString& key) {
    if (key == QLatin1String("State"))
        return row.State;
    if (key == QLatin1String("Extension"))
        return QString::fromStdString(row.Extension);
    if (key == QLatin1String("Description"))
        return QString::fromStdString(row.Description);
    if (key == QLatin1String("Thoro"))
        return QString::fromStdString(row.Thoro);
    if (key == QLatin1String("Category"))
        return QString::fromStdString(row.Category);
    return {};
}

void storeCheckListValue(signatures::CheckListRow& row, const QString& key, const QVariant& value) {
    if (key == QLatin1String("State"))
        row.State = value.toInt();
    else if (key == QLatin1String("Extension"))
        row.Extension = value.toString().toStdString();
    else if (key == QLatin1String("Description"))
        row.Description = value.toString().toStdString();
    else if (key == QLatin1String("Thoro"))
        row.Thoro = value.toString().toStdString();
    else if (key == QLatin1String("Category"))
        row.Category = value.toString().toStdString();
}

QVariant groupValue(const carving::FoundFileGroup& group, const QString& key) {
    const std::string* field = nullptr;
    if (key == QLatin1String("FileTypes"))
        field = &group.FileTypes;
    else if (key == QLatin1String("NoOfFile"))
        field = &group.NoOfFile;
    else if (key == QLatin1String("FileName"))
        field = &group.FileName;
    else if (key == QLatin1String("FilePath"))
        field = &group.FilePath;
    else if (key == QLatin1String("FileTypes_Hidden"))
        field = &group.FileTypes_Hidden;
    return field ? QVariant(QString::fromStdString(*field)) : QVariant();
}

void styleTable(QTableView& table) {
    table.verticalHeader()->hide();
    table.horizontalHeader()->setStretchLastSection(true);
    table.horizontalHeader()->setHighlightSections(false);
}

} // namespace

void MyTableController::setUpTables() {
    Ui::MainWindow& ui = *ui_;
    mediaModel_ = std::make_unique<TableDataSourceModel>(
        *this, *ui.idTableView,
        std::vector<TableColumn>{{QStringLiteral("Collumn1"), tr("Device")},
                                 {QStringLiteral("Collumn2"), tr("Volume Name")},
                                 {QStringLiteral("Collumn3"), tr("File System")},
                                 {QStringLiteral("Collumn4"), tr("Capacity")},
                                 {QStringLiteral("Collumn5"), tr("Disk")},
                                 {QStringLiteral("Collumn6"), tr("Sectors")}});
    checkListModel_ = std::make_unique<TableDataSourceModel>(
        *this, *ui.idCheckTableView,
        std::vector<TableColumn>{{QStringLiteral("State"), QString(), true},
                                 {QStringLiteral("Extension"), tr("Extension")},
                                 {QStringLiteral("Description"), tr("Description")},
                                 {QStringLiteral("Thoro"), tr("Thorough only")},
                                 {QStringLiteral("Category"), tr("Category")}});
    groupsModel_ = std::make_unique<TableDataSourceModel>(
        *this, *ui.idSigTableView,
        std::vector<TableColumn>{{QStringLiteral("FileTypes"), tr("File Type")},
                                 {QStringLiteral("NoOfFile"), tr("Files Found")},
                                 {QStringLiteral("FileName"), tr("Latest File")},
                                 {QStringLiteral("FilePath"), tr("Path")},
                                 {QStringLiteral("FileTypes_Hidden"), tr("Key")}});
    ui.idTableView->setModel(mediaModel_.get());
    setUpFileTypeList();
    setUpCountsTable();
    for (QTableView* table : {ui.idTableView, ui.idCheckTableView, ui.idSigTableView})
        styleTable(*table);
    // FilePath repeats the name and the hidden key repeats the type: kept for lookups, not shown.
    ui.idSigTableView->setColumnHidden(3, true);
    ui.idSigTableView->setColumnHidden(4, true);
    ui.idTableView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui.idCheckTableView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
}

// The list shows its types grouped by category under a search field.
void MyTableController::setUpFileTypeList() {
    Ui::MainWindow& ui = *ui_;
    typeListFilter_ = std::make_unique<TypeListFilter>();
    typeListFilter_->setSourceModel(checkListModel_.get());
    ui.idCheckTableView->setModel(typeListFilter_.get());
    // The category leads each group, as a heading does.
    ui.idCheckTableView->horizontalHeader()->moveSection(4, 0);

    typeSearch_ = std::make_unique<QLineEdit>();
    typeSearch_->setObjectName(QStringLiteral("_type_search"));
    typeSearch_->setPlaceholderText(tr("Search file types (extension, description or category)"));
    typeSearch_->setAccessibleName(tr("Search file types"));
    typeSearch_->setClearButtonEnabled(true);
    qobject_cast<QBoxLayout*>(ui.idChecktablesclview->layout())->insertWidget(0, typeSearch_.get());
    connect(typeSearch_.get(), &QLineEdit::textChanged, typeListFilter_.get(),
            &TypeListFilter::setSearchText);
}

// The browser and the counts share their room through a splitter; the types that found
// nothing can be hidden.
void MyTableController::setUpCountsTable() {
    Ui::MainWindow& ui = *ui_;
    emptyGroupFilter_ = std::make_unique<EmptyGroupFilter>(1);
    emptyGroupFilter_->setSourceModel(groupsModel_.get());
    ui.idSigTableView->setModel(emptyGroupFilter_.get());
    ui.idSigTableView->setMaximumHeight(QWIDGETSIZE_MAX);

    hideEmptyTypes_ = std::make_unique<QCheckBox>(tr("Hide empty types"));
    hideEmptyTypes_->setObjectName(QStringLiteral("_hide_empty_types_Chk"));
    qobject_cast<QBoxLayout*>(ui.idSigtablesclview->layout())->insertWidget(0, hideEmptyTypes_.get());
    connect(hideEmptyTypes_.get(), &QAbstractButton::toggled, emptyGroupFilter_.get(),
            &EmptyGroupFilter::setHideEmpty);

    countsSplitter_ = std::make_unique<QSplitter>(Qt::Vertical);
    countsSplitter_->setObjectName(QStringLiteral("_counts_splitter"));
    countsSplitter_->setChildrenCollapsible(false);
    QLayout* frame = ui.idImagesclview_2->layout();
    frame->removeWidget(ui.imageBrowser_2);
    frame->removeWidget(ui.idSigtablesclview);
    countsSplitter_->addWidget(ui.imageBrowser_2);
    countsSplitter_->addWidget(ui.idSigtablesclview);
    countsSplitter_->setStretchFactor(0, 3);
    countsSplitter_->setStretchFactor(1, 1);
    frame->addWidget(countsSplitter_.get());
}

void MyTableController::reloadTable(QTableView* table) {
    if (auto* model = qobject_cast<TableDataSourceModel*>(sourceModelOf(table->model())))
        model->reloadData();
}

int MyTableController::numberOfRowsInTableView(const QTableView* table) const {
    std::size_t rows = 0;
    if (table == ui_->idTableView)
        rows = nsMutaryOfDataObject_.size();
    else if (table == ui_->idCheckTableView)
        rows = nsCheckedListDataObject_.size();
    else if (table == ui_->idSigTableView)
        rows = nsSIGFileInfoDataObject_.size();
    return static_cast<int>(std::min<std::size_t>(rows, std::numeric_limits<int>::max()));
}

QVariant MyTableController::tableView_objectValueForTableColumn_row(const QTableView* table,
                                                                    const QString& column, int row) const {
    if (table == ui_->idTableView) {
        if (!validRow(nsMutaryOfDataObject_, row))
            return {};
        return QString::fromStdString(
            media::cellText(nsMutaryOfDataObject_[static_cast<std::size_t>(row)], column.toStdString()));
    }
    if (table == ui_->idCheckTableView) {
        if (!validRow(nsCheckedListDataObject_, row))
            return {};
        return checkListValue(nsCheckedListDataObject_[static_cast<std::size_t>(row)], column);
    }
    if (table == ui_->idSigTableView) {
        // One snapshot, so the bounds test and the read see the same list while a scan adds groups.
        const std::vector<carving::FoundFileGroup> groups = nsSIGFileInfoDataObject_.snapshot();
        if (!parameterSatisfied(validRow(groups, row),
                                "pRowIndex >= 0 && pRowIndex < [nsSIGFileInfoDataObject count]"))
            return {};
        return groupValue(groups[static_cast<std::size_t>(row)], column);
    }
    return {};
}

void MyTableController::tableView_setObjectValue_forTableColumn_row(const QTableView* table,
                                                                    const QVariant& value,
                                                                    const QString& column, int row) {
    if (table != ui_->idCheckTableView)
        return;
    if (!parameterSatisfied(validRow(nsCheckedListDataObject_, row),
                            "pRowIndex >= 0 && pRowIndex < [nsCheckedListDataObject count]"))
        return;
    storeCheckListValue(nsCheckedListDataObject_[static_cast<std::size_t>(row)], column, value);
}

// Keeps the select-all box in step after a row's check box was clicked.
void MyTableController::clickTable(QTableView* table, int clickedColumn) {
    if (table != ui_->idCheckTableView)
        return;
    const auto* model = qobject_cast<const TableDataSourceModel*>(sourceModelOf(table->model()));
    if (!model || model->columnIdentifier(clickedColumn) != QLatin1String("State"))
        return;
    ui_->_select_unselect_Chk->setChecked(signatures::allRowsTicked(nsCheckedListDataObject_));
}

} // namespace quarry::app
