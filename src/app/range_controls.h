#pragma once

#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace Ui {
class MainWindow;
}

namespace quarry::app {

class SectorSlider;

// One variant of the scan-range screen: the plain controls (photo) or their _Sig twins.
struct RangeControls {
    QRadioButton* entireDisk;
    QRadioButton* sectorRange;
    QLabel* diskVal;
    QLabel* volNameVal;
    QLabel* fileSystemVal;
    QLabel* sizeVal;
    QLabel* startSectorEntireVal;
    QLabel* endSectorEntireVal;
    QLabel* startMinVal;
    QLabel* startMaxVal;
    QLineEdit* startField;
    SectorSlider* startSlider;
    QLabel* endMinVal;
    QLabel* endMaxVal;
    QLineEdit* endField;
    SectorSlider* endSlider;
    QLineEdit* path;
    QLabel* rangeInfo;
    // The twelve entire-disk captions and values.
    std::vector<QWidget*> entireDiskGroup;
    // The seventeen sector-range controls.
    std::vector<QWidget*> sectorRangeGroup;
    // Shown and hidden with the screen whatever the criterion.
    std::vector<QWidget*> frame;

    bool entireDiskChosen() const;
    bool sectorRangeChosen() const;
};

RangeControls photoRangeControls(const Ui::MainWindow& ui);
RangeControls sigRangeControls(const Ui::MainWindow& ui);

void setHidden(const std::vector<QWidget*>& widgets, bool hide);

} // namespace quarry::app
