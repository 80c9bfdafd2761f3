#include "app/check_list_model.h"
#include "app/dialogs.h"
#include "app/found_groups_model.h"
#include "app/media_screen.h"
#include "app/mytablecontroller.h"
#include "app/table_filters.h"
#include "media/enumeration.h"
#include "ui_mainwindow.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSplitter>
#include <QtGlobal>

namespace quarry::app {
namespace {

void styleTable(QTableView& table) {
    table.verticalHeader()->hide();
    table.horizontalHeader()->setStretchLastSection(true);
    table.horizontalHeader()->setHighlightSections(false);
}

} // namespace

void MyTableController::setUpTables() {
    Ui::MainWindow& ui = *ui_;
    mediaScreen_ = std::make_unique<MediaScreen>(*ui.idTableView, *window_, *ui.controlPanel,
                                                 *LoadDisk_Window, &media::listMountedMedia);
    checkListModel_ = std::make_unique<CheckListModel>();
    groupsModel_ = std::make_unique<FoundGroupsModel>();
    setUpFileTypeList();
    setUpCountsTable();
    for (QTableView* table : {ui.idTableView, ui.idCheckTableView, ui.idSigTableView})
        styleTable(*table);
    // FilePath repeats the name and the hidden key repeats the type: kept for lookups, not shown.
    ui.idSigTableView->setColumnHidden(FoundGroupsModel::FilePath, true);
    ui.idSigTableView->setColumnHidden(FoundGroupsModel::FileTypes_Hidden, true);
    ui.idTableView->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui.idCheckTableView->horizontalHeader()->setSectionResizeMode(CheckListModel::State,
                                                                  QHeaderView::ResizeToContents);
}

// The list shows its types grouped by category under a search field.
void MyTableController::setUpFileTypeList() {
    Ui::MainWindow& ui = *ui_;
    typeListFilter_ = std::make_unique<TypeListFilter>(CheckListModel::Category);
    typeListFilter_->setSourceModel(checkListModel_.get());
    ui.idCheckTableView->setModel(typeListFilter_.get());
    // The category leads each group, as a heading does.
    ui.idCheckTableView->horizontalHeader()->moveSection(CheckListModel::Category, 0);

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
    emptyGroupFilter_ = std::make_unique<EmptyGroupFilter>(FoundGroupsModel::NoOfFile);
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
    if (auto* model = qobject_cast<TitledTableModel*>(sourceModelOf(table->model())))
        model->reload();
}

// Keeps the select-all box in step after a row's check box was clicked.
void MyTableController::clickTable(QTableView* table, int clickedColumn) {
    if (table != ui_->idCheckTableView || clickedColumn != CheckListModel::State)
        return;
    ui_->_select_unselect_Chk->setChecked(signatures::allRowsTicked(checkListModel_->rows()));
}

} // namespace quarry::app
