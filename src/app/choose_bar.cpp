#include "app/choose_bar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <cmath>

namespace quarry::app {
namespace {

constexpr int kMaxKilobytes = 4 * 1024 * 1024;
constexpr int kMaxPixels = 65535;

QString durationText(double seconds) {
    const auto total = static_cast<std::uint64_t>(std::llround(std::max(0.0, seconds)));
    return QString::asprintf("%llu:%02llu:%02llu", static_cast<unsigned long long>(total / 3600),
                             static_cast<unsigned long long>(total / 60 % 60),
                             static_cast<unsigned long long>(total % 60));
}

QString filesText(std::uint64_t files) {
    return files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(files);
}

QSpinBox* spinBox(const char* name, int maximum, const QString& suffix, const QString& tip) {
    auto* box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(0, maximum);
    box->setSuffix(suffix);
    box->setSpecialValueText(QStringLiteral("any"));
    box->setToolTip(tip);
    box->setAccelerated(true);
    return box;
}

} // namespace

QString megabytesText(std::uint64_t bytes) {
    return QString::asprintf("%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
}

QString selectionText(std::uint64_t files, std::uint64_t bytes) {
    return QStringLiteral("%1, %2 selected").arg(filesText(files), megabytesText(bytes));
}

QString savedText(std::uint64_t files, std::uint64_t bytes, const QString& folder) {
    return QStringLiteral("%1 (%2) saved to %3").arg(filesText(files), megabytesText(bytes), folder);
}

QString scanStatusText(std::uint64_t found, std::uint64_t done, std::uint64_t total, double elapsedSeconds) {
    QString eta = QStringLiteral("--");
    if (elapsedSeconds >= 1.0 && done > 0 && total >= done)
        eta = durationText(elapsedSeconds * static_cast<double>(total - done) / static_cast<double>(done));
    return QStringLiteral("Found: %1   Elapsed %2   ETA %3")
        .arg(found)
        .arg(durationText(elapsedSeconds), eta);
}

QString scanEndText(ScanEnd end, std::uint64_t found, std::uint64_t stoppedAt) {
    switch (end) {
    case ScanEnd::Stopped:
        return QStringLiteral("Scan stopped at sector %1; %2 found so far.")
            .arg(stoppedAt)
            .arg(filesText(found));
    case ScanEnd::NothingFound:
        return QStringLiteral("Scan complete: nothing was found in this range.");
    case ScanEnd::Complete:
        break;
    }
    return QStringLiteral("Scan complete: %1 found.").arg(filesText(found));
}

FilterBar::FilterBar(QWidget* parent)
    : QWidget(parent), type_(new QComboBox),
      minKilobytes_(spinBox("_filter_min_size", kMaxKilobytes, QStringLiteral(" KB"),
                            QStringLiteral("Smallest file shown"))),
      pixelsCaption_(new QLabel(QStringLiteral("Picture at least"))), times_(new QLabel(QStringLiteral("×"))),
      minWidth_(spinBox("_filter_min_width", kMaxPixels, QStringLiteral(" px"),
                        QStringLiteral("Narrowest picture shown"))),
      minHeight_(spinBox("_filter_min_height", kMaxPixels, QStringLiteral(" px"),
                         QStringLiteral("Lowest picture shown"))),
      verifiedOnly_(new QCheckBox(QStringLiteral("Verified only"))),
      hideCopies_(new QCheckBox(QStringLiteral("Hide copies"))), selection_(new QLabel) {
    setObjectName(QStringLiteral("_filter_bar"));
    type_->setObjectName(QStringLiteral("_filter_type"));
    type_->addItem(QStringLiteral("All types"));
    type_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    verifiedOnly_->setObjectName(QStringLiteral("_filter_verified"));
    verifiedOnly_->setToolTip(QStringLiteral("Only files whose structure was checked and holds"));
    hideCopies_->setObjectName(QStringLiteral("_filter_hide_copies"));
    hideCopies_->setToolTip(QStringLiteral("Not the copies of files saved already"));
    selection_->setObjectName(QStringLiteral("_selection_label"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* typeCaption = new QLabel(QStringLiteral("Show"));
    typeCaption->setBuddy(type_);
    layout->addWidget(typeCaption);
    layout->addWidget(type_);
    auto* sizeCaption = new QLabel(QStringLiteral("at least"));
    sizeCaption->setBuddy(minKilobytes_);
    layout->addWidget(sizeCaption);
    layout->addWidget(minKilobytes_);
    pixelsCaption_->setBuddy(minWidth_);
    layout->addWidget(pixelsCaption_);
    layout->addWidget(minWidth_);
    layout->addWidget(times_);
    layout->addWidget(minHeight_);
    layout->addWidget(verifiedOnly_);
    layout->addWidget(hideCopies_);
    layout->addStretch(1);
    layout->addWidget(selection_);
    setSelection(0, 0);

    connect(type_, &QComboBox::currentIndexChanged, this, &FilterBar::changed);
    for (QSpinBox* box : {minKilobytes_, minWidth_, minHeight_})
        connect(box, &QSpinBox::valueChanged, this, &FilterBar::changed);
    for (QCheckBox* box : {verifiedOnly_, hideCopies_})
        connect(box, &QCheckBox::toggled, this, &FilterBar::changed);
}

results::ItemFilter FilterBar::filter() const {
    results::ItemFilter filter;
    if (type_->currentIndex() > 0)
        filter.type = type_->currentText();
    filter.minBytes = static_cast<std::uint64_t>(minKilobytes_->value()) * 1024;
    if (!minWidth_->isHidden() && (minWidth_->value() > 0 || minHeight_->value() > 0))
        filter.minPixels = QSize(std::max(1, minWidth_->value()), std::max(1, minHeight_->value()));
    filter.verifiedOnly = verifiedOnly_->isChecked();
    filter.hideCopies = hideCopies_->isChecked();
    return filter;
}

void FilterBar::setPhotoMode(bool photo) {
    for (QWidget* w : std::initializer_list<QWidget*>{pixelsCaption_, minWidth_, times_, minHeight_})
        w->setHidden(!photo);
    changed();
}

void FilterBar::addTypes(const QStringList& types) {
    for (const QString& type : types) {
        if (!type.isEmpty() && type_->findText(type) < 0)
            type_->addItem(type);
    }
}

void FilterBar::reset() {
    const QSignalBlocker blockType(type_);
    while (type_->count() > 1)
        type_->removeItem(1);
    type_->setCurrentIndex(0);
    for (QSpinBox* box : {minKilobytes_, minWidth_, minHeight_}) {
        const QSignalBlocker block(box);
        box->setValue(0);
    }
    for (QCheckBox* box : {verifiedOnly_, hideCopies_}) {
        const QSignalBlocker block(box);
        box->setChecked(false);
    }
    changed();
}

void FilterBar::setSelection(std::uint64_t files, std::uint64_t bytes) {
    selection_->setText(selectionText(files, bytes));
}

void FilterBar::changed() {
    emit filterChanged(filter());
}

ScanEndBar::ScanEndBar(QWidget* parent)
    : QWidget(parent), status_(new QLabel), resume_(new QPushButton(QStringLiteral("Resume from here"))),
      saved_(new QLabel), showFolder_(new QPushButton(QStringLiteral("Show Folder"))) {
    setObjectName(QStringLiteral("_scan_end_bar"));
    status_->setObjectName(QStringLiteral("_scan_status_label"));
    resume_->setObjectName(QStringLiteral("_resume_btn"));
    resume_->setToolTip(QStringLiteral("Scan the rest of the range, from the sector reached"));
    saved_->setObjectName(QStringLiteral("_saved_label"));
    saved_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    showFolder_->setObjectName(QStringLiteral("_show_folder_btn"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(status_);
    layout->addWidget(resume_);
    layout->addStretch(1);
    layout->addWidget(saved_);
    layout->addWidget(showFolder_);
    connect(resume_, &QPushButton::clicked, this, &ScanEndBar::resumeRequested);
    connect(showFolder_, &QPushButton::clicked, this, &ScanEndBar::showFolderRequested);
    clear();
}

void ScanEndBar::setStatus(const QString& text) {
    status_->setText(text);
}

void ScanEndBar::setResumeOffered(bool offered) {
    resume_->setHidden(!offered);
}

void ScanEndBar::setSaved(const QString& text) {
    saved_->setText(text);
    saved_->setHidden(text.isEmpty());
    showFolder_->setHidden(text.isEmpty());
}

void ScanEndBar::clear() {
    setStatus(QString());
    setResumeOffered(false);
    setSaved(QString());
}

} // namespace quarry::app
