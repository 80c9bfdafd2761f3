#include "app/keyboard.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QSet>
#include <QWidget>

namespace quarry::app {
namespace {

const QString kTwinSuffix = QStringLiteral("_Sig");

// Where the mnemonic marker goes: the first untaken letter that begins a word, else any
// untaken letter; -1 when every letter is taken.
qsizetype markerPosition(const QString& text, const QSet<QChar>& taken) {
    for (const bool wordStartsOnly : {true, false}) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            const bool wordStart = i == 0 || !text.at(i - 1).isLetterOrNumber();
            if (c.isLetter() && (wordStart || !wordStartsOnly) && !taken.contains(c.toLower()))
                return i;
        }
    }
    return -1;
}

} // namespace

QChar mnemonicOf(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != u'&')
            continue;
        if (text.at(i + 1) != u'&')
            return text.at(i + 1).toLower();
        ++i; // "&&" is a literal ampersand
    }
    return {};
}

void assignMnemonics(QWidget& root, const QStringList& first) {
    QList<QAbstractButton*> buttons;
    for (const QString& name : first) {
        if (auto* button = root.findChild<QAbstractButton*>(name))
            buttons.append(button);
    }
    // A twin of the video and raw-file screens is never shown with its photo twin: it
    // takes the same letter, after the others have chosen.
    QList<QAbstractButton*> twins;
    for (QAbstractButton* button : root.findChildren<QAbstractButton*>()) {
        if (buttons.contains(button))
            continue;
        (button->objectName().endsWith(kTwinSuffix) ? twins : buttons).append(button);
    }

    QSet<QChar> taken;
    for (const QAbstractButton* button : buttons) {
        if (const QChar letter = mnemonicOf(button->text()); !letter.isNull())
            taken.insert(letter);
    }
    for (QAbstractButton* button : buttons) {
        const QString text = button->text();
        if (text.isEmpty() || !mnemonicOf(text).isNull())
            continue;
        qsizetype at = markerPosition(text, taken);
        if (at < 0)
            at = markerPosition(text, {});
        if (at < 0)
            continue;
        taken.insert(text.at(at).toLower());
        button->setText(QString(text).insert(at, u'&'));
    }
    for (QAbstractButton* twin : twins) {
        if (twin->text().isEmpty() || !mnemonicOf(twin->text()).isNull())
            continue;
        const QString photoName = twin->objectName().chopped(kTwinSuffix.size());
        const auto* photo = root.findChild<QAbstractButton*>(photoName);
        if (photo && QString(photo->text()).remove(u'&') == twin->text())
            twin->setText(photo->text());
        else if (const qsizetype at = markerPosition(twin->text(), {}); at >= 0)
            twin->setText(QString(twin->text()).insert(at, u'&'));
    }
}

KeyAction::KeyAction(QWidget& watched, int key, std::function<void()> action)
    : key_(key), action_(std::move(action)) {
    watched.installEventFilter(this);
}

bool KeyAction::eventFilter(QObject* /*watched*/, QEvent* event) {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != key_ ||
        static_cast<QKeyEvent*>(event)->modifiers() != Qt::NoModifier)
        return false;
    action_();
    return true;
}

// Every focusable control keeps a frame of one width: plain without the focus, in the
// highlight colour with it, so focus moves nothing.
void applyFocusStyle(QWidget& window) {
    window.setStyleSheet(QStringLiteral(
        "QTableView, QListView, QLineEdit { border: 1px solid palette(mid); padding: 1px; }"
        "QTableView:focus, QListView:focus, QLineEdit:focus { border: 2px solid palette(highlight); padding: "
        "0px; }"
        "QCheckBox, QRadioButton, QSlider { border: 2px solid transparent; border-radius: 3px; }"
        "QCheckBox:focus, QRadioButton:focus, QSlider:focus { border-color: palette(highlight); }"));
}

} // namespace quarry::app
