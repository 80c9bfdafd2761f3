#pragma once

#include "app/window_style.h"
#include "ui_aboutwindow.h"
#include "ui_browseinfo.h"
#include "ui_clearpreview.h"
#include "ui_loaddisk.h"
#include "ui_savefileinfo.h"
#include "ui_savefileinfo_raw.h"

#include <QDialog>

namespace quarry::app {

// A dialog window loaded from its interface file. Sheets attach to the window of the panel
// they are created on; the other dialogs are windows of their own.
template <class Form> class DialogWindow : public QDialog {
public:
    enum class Kind { Sheet, Window };

    DialogWindow(QWidget* parent, Kind kind) : QDialog(parent) {
        form_.setupUi(this);
        awakeFromNib(kind);
    }

    const Form& form() const { return form_; }

private:
    // Window set-up: the shared background; sheets block only the window they belong to
    // (a real sheet on macOS).
    void awakeFromNib(Kind kind) {
        applyWindowBackground(*this);
        if (kind == Kind::Sheet) {
            setWindowFlag(Qt::Sheet);
            setWindowModality(Qt::WindowModal);
        }
    }

    Form form_;
};

// Drive-loading sheet, shown while the media list is rebuilt.
class LoadDrive_Modeless final : public DialogWindow<Ui::LoadDisk_Window> {
public:
    explicit LoadDrive_Modeless(QWidget* panel) : DialogWindow(panel, Kind::Sheet) {}
};

// Folder-information dialog, shown before the destination folder chooser.
class Browse_Info final : public DialogWindow<Ui::BrowseInfo_Window> {
public:
    explicit Browse_Info(QWidget* panel);
    void Continue_Btn(QObject* sender = nullptr);
};

// Preview-preparation sheet, shown while a preview file is carved.
class ClearPreview_Modeless final : public DialogWindow<Ui::ClearPreview_Window> {
public:
    explicit ClearPreview_Modeless(QWidget* panel) : DialogWindow(panel, Kind::Sheet) {}
};

// End-of-scan information dialog of photo scans.
class SaveFile_Info final : public DialogWindow<Ui::SaveFile_Info_Window> {
public:
    explicit SaveFile_Info(QWidget* owner);
    void OK_Btn(QObject* sender = nullptr);
};

// End-of-scan information dialog of video and raw-file scans.
class SaveFile_Info_For_RAW final : public DialogWindow<Ui::SaveFile_Info_For_RAW_Window> {
public:
    explicit SaveFile_Info_For_RAW(QWidget* owner);
    void OK_Btn(QObject* sender = nullptr);
};

// The About sheet.
class About_Sheet final : public DialogWindow<Ui::About_Window> {
public:
    explicit About_Sheet(QWidget* panel);
};

} // namespace quarry::app
