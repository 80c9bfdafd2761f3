#pragma once

#include "results/ui/recovery_writer.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quarry::results {

// "1.5 MB" style sizes.
QString byteText(std::uint64_t bytes);
// "1:05" or "1:02:05"; "—" while unknown.
QString durationText(double seconds);

// Shown while found files are saved: files and bytes so far, rate, time left, and Cancel.
// A sheet on the panel it is made for.
class RecoveryProgressDialog final : public QDialog {
    Q_OBJECT
public:
    explicit RecoveryProgressDialog(QWidget* panel);

    // A batch starts from `progress`; the rate is measured from now.
    void start(const RecoveryProgress& progress);
    void setProgress(const RecoveryProgress& progress);

signals:
    void cancelRequested();

private:
    QLabel* files_;
    QLabel* bytes_;
    QLabel* rate_;
    QLabel* timeLeft_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    QElapsedTimer clock_;
};

} // namespace quarry::results
