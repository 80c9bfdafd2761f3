#include "app/dialogs.h"

#include <QPushButton>

namespace quarry::app {

Browse_Info::Browse_Info(QWidget* panel) : DialogWindow(panel, Kind::Sheet) {
    connect(form().Continue_Btn, &QPushButton::clicked, this, [this] { Continue_Btn(form().Continue_Btn); });
}

// Ends the modal run with code 1.
void Browse_Info::Continue_Btn(QObject* /*sender*/) {
    done(1);
}

SaveFile_Info::SaveFile_Info(QWidget* owner) : DialogWindow(owner, Kind::Window) {
    connect(form().OK_Btn, &QPushButton::clicked, this, [this] { OK_Btn(form().OK_Btn); });
}

void SaveFile_Info::OK_Btn(QObject* /*sender*/) {
    done(1);
}

SaveFile_Info_For_RAW::SaveFile_Info_For_RAW(QWidget* owner) : DialogWindow(owner, Kind::Window) {
    connect(form().OK_Btn, &QPushButton::clicked, this, [this] { OK_Btn(form().OK_Btn); });
}

void SaveFile_Info_For_RAW::OK_Btn(QObject* /*sender*/) {
    done(1);
}

About_Sheet::About_Sheet(QWidget* panel) : DialogWindow(panel, Kind::Sheet) {
    connect(form().OK_Btn, &QPushButton::clicked, this, [this] { done(1); });
}

} // namespace quarry::app
