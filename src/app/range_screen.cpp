#include "app/range_screen.h"

#include "app/sector_slider.h"
#include "app/texts.h"
#include "range/sector_range.h"
#include "ui_mainwindow.h"

#include <QLineEdit>
#include <charconv>
#include <limits>
#include <string>

namespace quarry::app {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

// A sector count or number as the labels hold it: decimal digits, anything else reads as 0.
std::uint64_t readSectorCount(const QString& text) {
    const std::string s = text.toStdString();
    const std::string_view digits = skipBlanks(s);
    std::uint64_t value = 0;
    if (std::from_chars(digits.data(), digits.data() + digits.size(), value).ec != std::errc())
        return 0;
    return value;
}

// The leading number of a text, as a typed value is read while it is being edited: blanks
// skipped, an optional sign, no number gives 0.
double readLeadingDouble(const QString& text) {
    const std::string s = text.toStdString();
    std::string_view rest = skipBlanks(s);
    if (!rest.empty() && rest.front() == '+')
        rest.remove_prefix(1);
    double value = 0.0;
    if (std::from_chars(rest.data(), rest.data() + rest.size(), value).ec != std::errc())
        return 0.0;
    return value;
}

std::uint64_t toSector(double value) {
    if (!(value > 0.0))
        return 0;
    if (value >= 18446744073709551616.0)
        return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(value);
}

// Both ranges cover the whole medium: start at 0, end at the sector count; the explanation
// and the fields say which sectors are valid.
void resetRanges(const RangeControls& c, std::uint64_t count, const QString& countText,
                 const QString& explanation) {
    const QString valid = QStringLiteral("0 – %1").arg(countText);
    c.rangeInfo->setText(QStringLiteral("%1\nSectors %2").arg(explanation, valid));
    c.startField->setPlaceholderText(valid);
    c.endField->setPlaceholderText(valid);
    c.startSlider->setSectorRange(0, count);
    c.startSlider->setSectorValue(0);
    c.startMinVal->setText(QStringLiteral("0"));
    c.startMaxVal->setText(countText);
    c.startField->setText(QStringLiteral("0"));
    c.endSlider->setSectorRange(0, count);
    c.endSlider->setSectorValue(count);
    c.endMinVal->setText(QStringLiteral("0"));
    c.endMaxVal->setText(countText);
    c.endField->setText(countText);
}

} // namespace

RangeScreen::RangeScreen(const Ui::MainWindow& ui, AlertShower alert)
    : ui_(ui), alert_(std::move(alert)), rangeInfoText_(ui._Sector_Range_Info->text()) {}

RangeControls RangeScreen::controls(bool sigVariant) const {
    return sigVariant ? sigRangeControls(ui_) : photoRangeControls(ui_);
}

void RangeScreen::enter(const media::MyDataObject& record, bool sigVariant) const {
    const RangeControls c = controls(sigVariant);
    c.entireDisk->setChecked(true);
    c.sectorRange->setChecked(false);
    ui_._help_info->setText(texts::kEntireDiskHelp);

    const QString identifier = QString::fromStdString(record.nsStrDiskIdentifier);
    const QString sectors = QString::fromStdString(record.nsStrSectors);
    ui_._disk_identifier->setText(identifier);
    c.diskVal->setText(identifier);
    ui_._sectors_val->setText(sectors);
    c.volNameVal->setText(QString::fromStdString(record.nsStrVolName.value_or(std::string())));
    c.fileSystemVal->setText(QString::fromStdString(record.nsStrFileSystem));
    c.sizeVal->setText(QString::fromStdString(record.nsStrSize));
    c.startSectorEntireVal->setText(QStringLiteral("0"));
    c.endSectorEntireVal->setText(sectors);

    resetRanges(c, readSectorCount(sectors), sectors, rangeInfoText_);
}

void RangeScreen::chooseEntireDisk(bool sigVariant) const {
    const RangeControls c = controls(sigVariant);
    ui_._help_info->setText(texts::kEntireDiskHelp);
    c.entireDisk->setChecked(true);
    c.sectorRange->setChecked(false);
    setHidden(c.entireDiskGroup, false);
    setHidden(c.sectorRangeGroup, true);
}

void RangeScreen::chooseSectorRange(bool sigVariant) const {
    const RangeControls c = controls(sigVariant);
    ui_._help_info->setText(texts::kSectorRangeHelp);
    c.sectorRange->setChecked(true);
    c.entireDisk->setChecked(false);
    setHidden(c.entireDiskGroup, true);
    const std::uint64_t count = readSectorCount(c.endSectorEntireVal->text());
    resetRanges(c, count, QString::number(count), rangeInfoText_);
    setHidden(c.sectorRangeGroup, false);
}

void RangeScreen::showSliderValue(bool sigVariant, bool start) const {
    const RangeControls c = controls(sigVariant);
    const SectorSlider* slider = start ? c.startSlider : c.endSlider;
    (start ? c.startField : c.endField)->setText(QString::number(slider->sectorValue()));
}

// Typing moves the slider only to values within the medium; the text is never corrected here.
void RangeScreen::fieldEdited(const QObject* field) const {
    for (const bool sigVariant : {false, true}) {
        const RangeControls c = controls(sigVariant);
        for (const auto& [text, slider] :
             {std::pair{c.startField, c.startSlider}, {c.endField, c.endSlider}}) {
            if (text != field)
                continue;
            const double typed = readLeadingDouble(text->text());
            if (!(typed > readLeadingDouble(ui_._sectors_val->text())))
                slider->setSectorValue(toSector(typed));
            return;
        }
    }
}

// Blanks around a typed number are dropped first, so " 1000 " is sector 1000.
bool RangeScreen::validateAtNext(bool sigVariant) const {
    const RangeControls c = controls(sigVariant);
    for (QLineEdit* field : {c.startField, c.endField})
        field->setText(field->text().trimmed());
    const auto failure =
        range::validateSectorRange(c.startField->text().toStdString(), c.endField->text().toStdString(),
                                   ui_._sectors_val->text().toStdString());
    if (!failure)
        return true;
    alert_({QString::fromStdString(failure->message), QString::fromStdString(failure->informative)});
    (failure->focus == range::RangeField::Start ? c.startField : c.endField)->setFocus();
    return false;
}

} // namespace quarry::app
