#include "app/prompter.h"

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

namespace quarry::app {

int MessageBoxPrompter::alert(QWidget* parent, const Alert& alert) {
    QMessageBox box(parent);
    box.setTextFormat(Qt::PlainText);
    box.setText(alert.message);
    box.setInformativeText(alert.informativeText);
    std::vector<QPushButton*> buttons;
    for (const QString& title : alert.buttons)
        buttons.push_back(box.addButton(title, QMessageBox::AcceptRole));
    if (alert.defaultButton >= 0 && alert.defaultButton < static_cast<int>(buttons.size()))
        box.setDefaultButton(buttons[static_cast<std::size_t>(alert.defaultButton)]);
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i])
            return static_cast<int>(i);
    }
    // Closed without a button (Escape on a multi-button alert): the default answer.
    return alert.defaultButton;
}

int MessageBoxPrompter::runModal(QDialog& dialog) {
    return dialog.exec();
}

} // namespace quarry::app
