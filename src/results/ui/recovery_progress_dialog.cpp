#include "results/ui/recovery_progress_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace quarry::results {
namespace {

constexpr int kBarSteps = 1000;

QLabel* addLabel(QVBoxLayout& layout, const char* objectName) {
    auto* label = new QLabel(layout.parentWidget());
    label->setObjectName(QString::fromLatin1(objectName));
    layout.addWidget(label);
    return label;
}

} // namespace

QString byteText(std::uint64_t bytes) {
    return QLocale::c().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeTraditionalFormat);
}

QString durationText(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        return QStringLiteral("—");
    const auto total = static_cast<long long>(std::ceil(seconds));
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long secs = total % 60;
    if (hours > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(secs, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(minutes).arg(secs, 2, 10, QLatin1Char('0'));
}

RecoveryProgressDialog::RecoveryProgressDialog(QWidget* panel) : QDialog(panel) {
    setObjectName(QStringLiteral("RecoveryProgress_Window"));
    setWindowTitle(QStringLiteral("Saving Found Files"));
    setWindowFlag(Qt::Sheet);
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Saving the found files into the destination folder…"), this);
    layout->addWidget(title);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("_recovery_progress"));
    bar_->setRange(0, kBarSteps);
    layout->addWidget(bar_);
    files_ = addLabel(*layout, "_recovery_files");
    bytes_ = addLabel(*layout, "_recovery_bytes");
    rate_ = addLabel(*layout, "_recovery_rate");
    timeLeft_ = addLabel(*layout, "_recovery_time_left");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    cancel_->setObjectName(QStringLiteral("_recovery_cancel"));
    layout->addWidget(buttons);
    connect(cancel_, &QPushButton::clicked, this, &RecoveryProgressDialog::reject);
    connect(this, &QDialog::rejected, this, &RecoveryProgressDialog::cancelRequested);
}

void RecoveryProgressDialog::start(const RecoveryProgress& progress) {
    clock_.start();
    setProgress(progress);
}

void RecoveryProgressDialog::setProgress(const RecoveryProgress& progress) {
    files_->setText(QStringLiteral("Files: %1 of %2").arg(progress.files).arg(progress.totalFiles));
    bytes_->setText(
        QStringLiteral("Saved: %1 of %2").arg(byteText(progress.bytes), byteText(progress.totalBytes)));
    const double seconds = clock_.isValid() ? static_cast<double>(clock_.elapsed()) / 1000.0 : 0.0;
    const double rate = seconds > 0 ? static_cast<double>(progress.bytes) / seconds : 0.0;
    rate_->setText(QStringLiteral("Rate: %1/s").arg(byteText(static_cast<std::uint64_t>(rate))));
    const double left =
        rate > 0
            ? static_cast<double>(progress.totalBytes - std::min(progress.bytes, progress.totalBytes)) / rate
            : std::nan("");
    timeLeft_->setText(QStringLiteral("Time left: %1").arg(durationText(left)));
    const double done = progress.totalBytes > 0
                            ? static_cast<double>(progress.bytes) / static_cast<double>(progress.totalBytes)
                            : (progress.totalFiles > 0 ? static_cast<double>(progress.files) /
                                                             static_cast<double>(progress.totalFiles)
                                                       : 0.0);
    bar_->setValue(static_cast<int>(std::lround(std::min(done, 1.0) * kBarSteps)));
}

} // namespace quarry::results
