#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

namespace quarry::app {

// A modal alert: message, informative text and its buttons; the answer is the index of the
// button chosen.
struct Alert {
    Alert(QString text, QString informative = {}, QStringList choices = {QStringLiteral("OK")},
          int defaultChoice = 0)
        : message(std::move(text)), informativeText(std::move(informative)), buttons(std::move(choices)),
          defaultButton(defaultChoice) {}

    QString message;
    QString informativeText;
    QStringList buttons;
    int defaultButton;
};

// Every modal prompt of the application goes through this, so tests can answer them from a
// script instead of blocking in a nested event loop.
class Prompter {
public:
    virtual ~Prompter() = default;
    // Shows the alert modally; returns the index in alert.buttons of the button chosen.
    virtual int alert(QWidget* parent, const Alert& alert) = 0;
    // Runs the dialog modally until something ends the run; returns the code it ended with.
    virtual int runModal(QDialog& dialog) = 0;
};

// The real prompts: QMessageBox for alerts, QDialog::exec for modal runs.
class MessageBoxPrompter final : public Prompter {
public:
    int alert(QWidget* parent, const Alert& alert) override;
    int runModal(QDialog& dialog) override;
};

} // namespace quarry::app
