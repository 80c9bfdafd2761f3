#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QWidget;

namespace quarry::app {

// Gives every button under `root` that has a text but no mnemonic one, so each can be
// pressed with Alt and a letter. Buttons named in `first` choose first, in that order.
void assignMnemonics(QWidget& root, const QStringList& first);

// The letter after the mnemonic marker of a text, or a null character when it has none.
QChar mnemonicOf(const QString& text);

// Runs an action instead of what the watched widget does with one key.
class KeyAction final : public QObject {
    Q_OBJECT
public:
    KeyAction(QWidget& watched, int key, std::function<void()> action);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int key_;
    std::function<void()> action_;
};

// Makes the control with the keyboard focus stand out.
void applyFocusStyle(QWidget& window);

} // namespace quarry::app
