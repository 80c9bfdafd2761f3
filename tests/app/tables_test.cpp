#include "app_test_support.h"
#include "media/ui/table_data_source.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace quarry::app;
using namespace quarry::app::test;
using quarry::media::TableDataSourceModel;

namespace {

QString cell(QTableView* table, int row, int column) {
    return table->model()->data(table->model()->index(row, column)).toString();
}

QStringList identifiers(QTableView* table) {
    QStringList ids;
    for (int c = 0; c < table->model()->columnCount(); ++c)
        ids << table->model()
                   ->headerData(c, Qt::Horizontal, TableDataSourceModel::ColumnIdentifierRole)
                   .toString();
    return ids;
}

quarry::signatures::CheckList threeTypes() {
    return {{1, "JPG", "JPEG image", "", "image"},
            {1, "AVI", "AVI video", "", "video"},
            {1, "MOV", "QuickTime", "YES", "video"}};
}

} // namespace

class TablesTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void columnIdentifiers();
    void mediaCellsByColumnIdentifier();
    void foreignTablesHaveNoRows();
    void groupRowOutOfRangeLogsAndShowsEmpty();
    void checkListEditOutOfRangeLogsAndStoresNothing();
    void checkBoxClicksKeepSelectAllInStep();
    void groupCellsByKey();
    void addAndDeleteMediaRows();
    void mediaListIsRebuiltBehindTheLoadingSheet();

private:
    std::unique_ptr<Harness> h_;
};

void TablesTest::init() {
    h_ = std::make_unique<Harness>();
    h_->media = {mediaRecord("sdb1", "31266816", std::string("Untitled")),
                 mediaRecord("sdc1", "2048", std::nullopt)};
    h_->start();
}

void TablesTest::cleanup() {
    h_.reset();
}

void TablesTest::columnIdentifiers() {
    MyTableController& c = *h_->controller;
    QCOMPARE(identifiers(c.idTableView()),
             (QStringList{"Collumn1", "Collumn2", "Collumn3", "Collumn4", "Collumn5", "Collumn6"}));
    QCOMPARE(identifiers(c.idCheckTableView()),
             (QStringList{"State", "Extension", "Description", "Thoro", "Category"}));
    QCOMPARE(identifiers(c.idSigTableView()),
             (QStringList{"FileTypes", "NoOfFile", "FileName", "FilePath", "FileTypes_Hidden"}));
    for (QTableView* table : {c.idTableView(), c.idCheckTableView(), c.idSigTableView()})
        QAbstractItemModelTester tester(table->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TablesTest::mediaCellsByColumnIdentifier() {
    MyTableController& c = *h_->controller;
    QTableView* media = c.idTableView();
    QCOMPARE(media->model()->rowCount(), 2);
    QCOMPARE(cell(media, 0, 0), QString("sdb1"));
    QCOMPARE(cell(media, 0, 1), QString("Untitled"));
    QCOMPARE(cell(media, 0, 2), QString("MS-DOS (FAT32)"));
    QCOMPARE(cell(media, 0, 3), QString("14.91  GB "));
    QCOMPARE(cell(media, 0, 4), QString("sdb"));
    QCOMPARE(cell(media, 0, 5), QString("31266816"));
    QCOMPARE(cell(media, 1, 1), QString());
    QVERIFY(c.tableView_objectValueForTableColumn_row(media, "Collumn7", 0).toString().isEmpty());
    QVERIFY(!c.tableView_objectValueForTableColumn_row(media, "Collumn1", 2).isValid());
    QVERIFY(!c.tableView_objectValueForTableColumn_row(media, "Collumn1", -1).isValid());
    // Only the check list is editable.
    c.tableView_setObjectValue_forTableColumn_row(media, "sdz9", "Collumn1", 0);
    QCOMPARE(cell(media, 0, 0), QString("sdb1"));
}

void TablesTest::foreignTablesHaveNoRows() {
    MyTableController& c = *h_->controller;
    QTableView other;
    QCOMPARE(c.numberOfRowsInTableView(&other), 0);
    QCOMPARE(c.numberOfRowsInTableView(nullptr), 0);
    QVERIFY(!c.tableView_objectValueForTableColumn_row(&other, "Collumn1", 0).isValid());
}

void TablesTest::groupRowOutOfRangeLogsAndShowsEmpty() {
    MyTableController& c = *h_->controller;
    c.nsSIGFileInfoDataObject().createSignatureListTableRecord("AVI", 0, "", "", "AVI");
    QTest::ignoreMessage(QtWarningMsg, "Invalid parameter not satisfying: pRowIndex >= 0 && pRowIndex < "
                                       "[nsSIGFileInfoDataObject count]");
    QVERIFY(!c.tableView_objectValueForTableColumn_row(c.idSigTableView(), "FileTypes", 1).isValid());
    QTest::ignoreMessage(QtWarningMsg, "Invalid parameter not satisfying: pRowIndex >= 0 && pRowIndex < "
                                       "[nsSIGFileInfoDataObject count]");
    QVERIFY(!c.tableView_objectValueForTableColumn_row(c.idSigTableView(), "FileTypes", -1).isValid());
    QCOMPARE(c.tableView_objectValueForTableColumn_row(c.idSigTableView(), "FileTypes", 0).toString(),
             QString("AVI"));
    // The check list makes no such assertion.
    QVERIFY(!c.tableView_objectValueForTableColumn_row(c.idCheckTableView(), "State", 5).isValid());
}

void TablesTest::checkListEditOutOfRangeLogsAndStoresNothing() {
    MyTableController& c = *h_->controller;
    c.setNsCheckedListDataObject(threeTypes());
    QTest::ignoreMessage(QtWarningMsg, "Invalid parameter not satisfying: pRowIndex >= 0 && pRowIndex < "
                                       "[nsCheckedListDataObject count]");
    c.tableView_setObjectValue_forTableColumn_row(c.idCheckTableView(), 0, "State", 3);
    for (const auto& row : c.nsCheckedListDataObject())
        QCOMPARE(row.State, 1);
    c.tableView_setObjectValue_forTableColumn_row(c.idCheckTableView(), "Video", "Description", 1);
    QCOMPARE(c.nsCheckedListDataObject()[1].Description, std::string("Video"));
}

void TablesTest::checkBoxClicksKeepSelectAllInStep() {
    MyTableController& c = *h_->controller;
    QTableView* list = c.idCheckTableView();
    auto* selectAll = h_->outlet<QCheckBox>("_select_unselect_Chk");
    c.setNsCheckedListDataObject(threeTypes());
    selectAll->setChecked(true);
    QCOMPARE(list->model()->data(list->model()->index(1, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(cell(list, 2, 1), QString("MOV"));
    QCOMPARE(cell(list, 2, 3), QString("YES"));

    QVERIFY(list->model()->setData(list->model()->index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(c.nsCheckedListDataObject()[1].State, 0);
    c.clickTable(list, 1);
    QVERIFY(selectAll->isChecked());
    c.clickTable(list, 0);
    QVERIFY(!selectAll->isChecked());

    list->model()->setData(list->model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(c.nsCheckedListDataObject()[1].State, 1);
    c.clickTable(list, 0);
    QVERIFY(selectAll->isChecked());

    selectAll->setChecked(false);
    c.clickTable(c.idTableView(), 0);
    QVERIFY(!selectAll->isChecked());
    c.setNsCheckedListDataObject({});
    c.clickTable(list, 0);
    QVERIFY(selectAll->isChecked());
}

void TablesTest::groupCellsByKey() {
    MyTableController& c = *h_->controller;
    c.nsSIGFileInfoDataObject().createSignatureListTableRecord("MOV", 3, "MOV00003.MOV", "MOV00003.MOV",
                                                               "MOV");
    c.reloadTable(c.idSigTableView());
    QTableView* groups = c.idSigTableView();
    QCOMPARE(groups->model()->rowCount(), 1);
    QCOMPARE(cell(groups, 0, 0), QString("MOV"));
    QCOMPARE(cell(groups, 0, 1), QString("3"));
    QCOMPARE(cell(groups, 0, 2), QString("MOV00003.MOV"));
    QCOMPARE(cell(groups, 0, 4), QString("MOV"));
}

void TablesTest::addAndDeleteMediaRows() {
    MyTableController& c = *h_->controller;
    c.addRow(mediaRecord("mmcblk0p1", "100"));
    QCOMPARE(c.idTableView()->model()->rowCount(), 3);
    QCOMPARE(cell(c.idTableView(), 2, 0), QString("mmcblk0p1"));
    c.deleteSelectedRow();
    QCOMPARE(c.nsMutaryOfDataObject().size(), 3u);
    c.idTableView()->selectRow(0);
    c.deleteSelectedRow();
    QCOMPARE(c.idTableView()->model()->rowCount(), 2);
    QCOMPARE(cell(c.idTableView(), 0, 0), QString("sdc1"));
    c.addAtSelectedRow();
    QCOMPARE(c.nsMutaryOfDataObject().size(), 2u);
}

void TablesTest::mediaListIsRebuiltBehindTheLoadingSheet() {
    MyTableController& c = *h_->controller;
    QCOMPARE(h_->listings, 1);
    auto* sheet = c.controlPanel()->findChild<QDialog*>("LoadDisk_Window");
    QVERIFY(sheet);
    QVERIFY(!sheet->isVisible());
    bool sheetShownDuringListing = false;
    c.setMediaLister([&] {
        sheetShownDuringListing = sheet->isVisible();
        return std::vector<quarry::media::MyDataObject>{mediaRecord("nvme0n1p2", "999")};
    });
    h_->outlet<QPushButton>("_refresh_btn")->click();
    QVERIFY(sheetShownDuringListing);
    QVERIFY(!sheet->isVisible());
    QCOMPARE(c.idTableView()->model()->rowCount(), 1);
    QCOMPARE(cell(c.idTableView(), 0, 0), QString("nvme0n1p2"));
}

QTEST_MAIN(TablesTest)
#include "tables_test.moc"
