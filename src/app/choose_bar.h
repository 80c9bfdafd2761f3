#pragma once

#include "results/ui/found_items_filter.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace quarry::app {

// "12.3 MB": bytes in units of 2^20, one decimal.
QString megabytesText(std::uint64_t bytes);
// "N files, X MB selected".
QString selectionText(std::uint64_t files, std::uint64_t bytes);
// "N files (X MB) saved to FOLDER".
QString savedText(std::uint64_t files, std::uint64_t bytes, const QString& folder);
// "Found: N   Elapsed H:MM:SS   ETA H:MM:SS" of the running pass; the estimate once a second
// has passed and some sectors are done.
QString scanStatusText(std::uint64_t found, std::uint64_t done, std::uint64_t total, double elapsedSeconds);

// How a scan ended, as told after the end-of-scan dialog.
enum class ScanEnd { Complete, Stopped, NothingFound };
QString scanEndText(ScanEnd end, std::uint64_t found, std::uint64_t stoppedAt);

// Above the browsers: what to show of the found items, and how many of them are selected.
class FilterBar : public QWidget {
    Q_OBJECT
public:
    explicit FilterBar(QWidget* parent = nullptr);

    results::ItemFilter filter() const;
    // The picture-size fields are for photos only.
    void setPhotoMode(bool photo);
    // Types offered besides "All types"; the chosen one stays chosen.
    void addTypes(const QStringList& types);
    // A new scan: every filter is cleared.
    void reset();
    void setSelection(std::uint64_t files, std::uint64_t bytes);

signals:
    void filterChanged(const quarry::results::ItemFilter& filter);

private:
    void changed();

    QComboBox* type_;
    QSpinBox* minKilobytes_;
    QLabel* pixelsCaption_;
    QLabel* times_;
    QSpinBox* minWidth_;
    QSpinBox* minHeight_;
    QCheckBox* verifiedOnly_;
    QCheckBox* hideCopies_;
    QLabel* selection_;
};

// Below the progress line: the found count and estimate while a scan runs, how it ended,
// and where the last save went.
class ScanEndBar : public QWidget {
    Q_OBJECT
public:
    explicit ScanEndBar(QWidget* parent = nullptr);

    void setStatus(const QString& text);
    void setResumeOffered(bool offered);
    // Empty: no saved line.
    void setSaved(const QString& text);
    void clear();

signals:
    void resumeRequested();
    void showFolderRequested();

private:
    QLabel* status_;
    QPushButton* resume_;
    QLabel* saved_;
    QPushButton* showFolder_;
};

} // namespace quarry::app
