#include "app/table_filters.h"
#include "app_test_support.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace quarry::app;
using namespace quarry::app::test;

namespace {

QString cell(QTableView* table, int row, int column) {
    return table->model()->data(table->model()->index(row, column)).toString();
}

quarry::signatures::CheckList threeTypes() {
    return {{1, "JPG", "JPEG image", "", "image"},
            {1, "AVI", "AVI video", "", "video"},
            {1, "MOV", "QuickTime", "YES", "video"}};
}

} // namespace

class TablesTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<Harness> h_;

private slots:
    void init() {
        h_ = std::make_unique<Harness>();
        h_->media = {mediaRecord("sdb1", "31266816", std::string("Untitled")),
                     mediaRecord("sdc1", "2048", std::nullopt)};
        h_->start();
    }

    void cleanup() { h_.reset(); }

    // Each table's model and the filter it is shown through, checked at every change they report.
    void modelsStaySoundWhileFilledAndEdited() {
        MyTableController& c = *h_->controller;
        std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
        for (QTableView* table : {c.idTableView(), c.idCheckTableView(), c.idSigTableView()}) {
            for (QAbstractItemModel* model : {table->model(), sourceModelOf(table->model())})
                testers.push_back(std::make_unique<QAbstractItemModelTester>(
                    model, QAbstractItemModelTester::FailureReportingMode::QtTest));
        }
        c.addRow(mediaRecord("mmcblk0p1", "100"));
        QCOMPARE(cell(c.idTableView(), 2, 0), QString("mmcblk0p1"));
        // Without a selection nothing goes; inserting at the selection is not offered.
        c.deleteSelectedRow();
        c.addAtSelectedRow();
        QCOMPARE(c.nsMutaryOfDataObject().size(), 3u);
        c.idTableView()->selectRow(0);
        c.deleteSelectedRow();
        QCOMPARE(cell(c.idTableView(), 0, 0), QString("sdc1"));
        h_->outlet<QPushButton>("_refresh_btn")->click();
        QCOMPARE(c.idTableView()->model()->rowCount(), 2);

        c.setNsCheckedListDataObject(threeTypes());
        QAbstractItemModel* list = c.idCheckTableView()->model();
        QVERIFY(list->setData(list->index(2, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!list->setData(list->index(2, 2), "renamed", Qt::EditRole));
        QCOMPARE(c.nsCheckedListDataObject()[2].State, 0);
        QCOMPARE(c.nsCheckedListDataObject()[2].Description, std::string("QuickTime"));
        h_->outlet<QCheckBox>("_select_unselect_Chk")->click();
        h_->outlet<QLineEdit>("_type_search")->setText("video");
        QCOMPARE(list->rowCount(), 2);
        h_->outlet<QLineEdit>("_type_search")->clear();

        c.nsSIGFileInfoDataObject().createSignatureListTableRecord("AVI", 0, "", "", "AVI");
        c.nsSIGFileInfoDataObject().createSignatureListTableRecord("MOV", 3, "MOV00003.MOV", "MOV00003.MOV",
                                                                   "MOV");
        c.reloadTable(c.idSigTableView());
        QTableView* groups = c.idSigTableView();
        QCOMPARE(groups->model()->rowCount(), 2);
        QCOMPARE(
            (QStringList{cell(groups, 1, 0), cell(groups, 1, 1), cell(groups, 1, 2), cell(groups, 1, 4)}),
            (QStringList{"MOV", "3", "MOV00003.MOV", "MOV"}));
        h_->outlet<QCheckBox>("_hide_empty_types_Chk")->setChecked(true);
        QCOMPARE(groups->model()->rowCount(), 1);
        QCOMPARE(cell(groups, 0, 0), QString("MOV"));
    }

    void mediaCells() {
        QTableView* media = h_->controller->idTableView();
        QCOMPARE(media->model()->rowCount(), 2);
        const QStringList first{"sdb1", "Untitled", "MS-DOS (FAT32)", "14.91  GB ", "sdb", "31266816"};
        for (int column = 0; column < first.size(); ++column)
            QCOMPARE(cell(media, 0, column), first[column]);
        QCOMPARE(cell(media, 1, 1), QString());
        QVERIFY(!(media->model()->flags(media->model()->index(0, 0)) & Qt::ItemIsEditable));
    }

    void checkBoxClicksKeepSelectAllInStep() {
        MyTableController& c = *h_->controller;
        QTableView* list = c.idCheckTableView();
        auto* selectAll = h_->outlet<QCheckBox>("_select_unselect_Chk");
        c.setNsCheckedListDataObject(threeTypes());
        selectAll->setChecked(true);
        QCOMPARE(list->model()->data(list->model()->index(1, 0), Qt::CheckStateRole).toInt(),
                 int(Qt::Checked));
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

    void mediaListIsRebuiltBehindTheLoadingSheet() {
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
};

QTEST_MAIN(TablesTest)
#include "tables_test.moc"
