#include "carving/ui/scan_progress.h"

#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest>
#include <climits>

using namespace quarry::carving;

class ScanProgressTest : public QObject {
    Q_OBJECT
private slots:
    // start, end, total and for_index as the scan sets them; no line where no tick is due.
    void lineAndBarOfATick() {
        const std::uint64_t huge = 0x4000000000000000ull; // × 100 overflows 64 bits
        const struct {
            std::uint64_t start, end, total, at;
            QString line;
            std::uint64_t bar;
        } cases[] = {
            {1000, 3000, 2000, 2000, "Sectors 2000 of 3000   ( Completed 50% )", 1000},
            {0, 10, 10, 3, "Sectors 3 of 10   ( Completed 30% )", 3},
            {0, 3, 3, 2, "Sectors 2 of 3   ( Completed 66% )", 2}, // truncated, not rounded
            // for_index not yet moved into the range counts as nothing done.
            {1000, 3000, 2000, 0, "Sectors 0 of 3000   ( Completed 0% )", 0},
            {5, 9, 0, 6, "Sectors 6 of 9   ( Completed 0% )", 1},
            {0, huge, huge, huge / 4 * 3,
             QString("Sectors %1 of %2   ( Completed 75% )").arg(huge / 4 * 3).arg(huge), huge / 4 * 3},
            {0, 0, 0, 0, {}, 0},             // before the range is set
            {1000, 3000, 2000, 3000, {}, 0}, // at the last sector
            {1000, 3000, 2000, 5000, {}, 0},
        };
        for (const auto& c : cases) {
            const auto tick = progressTick(c.start, c.end, c.total, c.at);
            QCOMPARE(tick.has_value(), !c.line.isNull());
            if (!tick)
                continue;
            QCOMPARE(tick->line, c.line);
            QCOMPARE(tick->barValue, c.bar);
        }
    }

    void ticksWriteTheControlsAndAStopTicksOnceMore() {
        ScanControl control;
        QLabel label("before");
        QProgressBar bar;
        ScanProgress progress(control);
        progress.setControls(&label, &bar);
        QSignalSpy ticked(&progress, &ScanProgress::ticked);

        progress.timerTickSetLabel();
        QCOMPARE(label.text(), QString("before"));
        QCOMPARE(ticked.count(), 0);

        control.start_sector = 1000;
        control.end_sector = 3000;
        control.total_sector = 2000;
        control.for_index = 1000;
        progress.resetForPass();
        QCOMPARE(bar.maximum(), 2000);
        QCOMPARE(bar.value(), 0);

        progress.start();
        QVERIFY(progress.isActive());
        control.for_index = 1500;
        progress.stop();
        QVERIFY(!progress.isActive());
        QCOMPARE(label.text(), QString("Sectors 1500 of 3000   ( Completed 25% )"));
        QCOMPARE(bar.value(), 500);
        QCOMPARE(ticked.count(), 1);

        // Once stopped, another stop does not tick again.
        control.for_index = 1600;
        progress.stop();
        QCOMPARE(ticked.count(), 1);

        // After the last sector the line keeps its last value.
        control.for_index = 3000;
        progress.timerTickSetLabel();
        QCOMPARE(label.text(), QString("Sectors 1500 of 3000   ( Completed 25% )"));
    }

    void barStaysInItsRangeOnLargeMedia() {
        ScanControl control;
        QProgressBar bar;
        ScanProgress progress(control);
        progress.setControls(nullptr, &bar);
        const std::uint64_t total = 8'000'000'000ull; // 4 TB in sectors
        control.end_sector = total;
        control.total_sector = total;
        progress.resetForPass();
        QVERIFY(bar.maximum() > 0);
        QVERIFY(bar.maximum() <= INT_MAX);
        control.for_index = total / 2;
        progress.timerTickSetLabel();
        QVERIFY(qAbs(bar.value() - bar.maximum() / 2) <= 1);
        QCOMPARE(progressBarDivisor(2000), 1u);
    }
};

QTEST_MAIN(ScanProgressTest)
#include "scan_progress_test.moc"
