#pragma once

#include "app/mytablecontroller.h"
#include "app/prompter.h"

#include <QDialog>
#include <QFile>
#include <QMainWindow>
#include <QMetaType>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace quarry::app::test {

// Answers every prompt from a script and records what was asked; never blocks.
class ScriptedPrompter final : public Prompter {
public:
    struct ModalRun {
        QString objectName;
        QWidget* parent;
        Qt::WindowModality modality;
        bool onGuiThread;
    };

    int alert(QWidget* /*parent*/, const Alert& alert) override {
        alerts.push_back(alert);
        if (answers.empty())
            return alert.defaultButton;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    int runModal(QDialog& dialog) override {
        modalRuns.push_back({dialog.objectName(), dialog.parentWidget(), dialog.windowModality(),
                             QThread::currentThread() == dialog.thread()});
        if (onModal)
            onModal(dialog);
        return modalAnswer;
    }

    std::vector<Alert> alerts;
    std::deque<int> answers;
    std::vector<ModalRun> modalRuns;
    std::function<void(QDialog&)> onModal;
    int modalAnswer = 1;
};

inline media::MyDataObject mediaRecord(const std::string& id, const std::string& sectors,
                                       std::optional<std::string> name = std::string("CARD")) {
    media::MyDataObject r;
    r.nsStrDiskIdentifier = id;
    r.nsStrVolName = std::move(name);
    r.nsStrFileSystem = "MS-DOS (FAT32)";
    r.nsStrSize = "14.91  GB ";
    r.nsStrParentDisk = "sdb";
    r.nsStrSectors = sectors;
    return r;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// A controller on a temporary resource folder with scripted prompts, a fixed media list and
// a recording URL opener. Files can be put into the folder before start().
struct Harness {
    QTemporaryDir folder;
    std::shared_ptr<ScriptedPrompter> prompter = std::make_shared<ScriptedPrompter>();
    std::vector<media::MyDataObject> media;
    int listings = 0;
    std::vector<QUrl> opened;
    std::unique_ptr<MyTableController> controller;

    QString path(const QString& name) const { return folder.filePath(name); }

    MyTableController& start() {
        controller = std::make_unique<MyTableController>(folder.path().toStdString(), prompter);
        controller->setSettingsFile(path(QStringLiteral("settings.ini")));
        controller->setMediaLister([this] {
            ++listings;
            return media;
        });
        controller->setUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
        controller->awakeFromNib();
        return *controller;
    }

    template <class T = QWidget> T* outlet(const char* name) const {
        return controller->window()->findChild<T*>(QString::fromLatin1(name));
    }
};

} // namespace quarry::app::test

Q_DECLARE_METATYPE(quarry::app::Mode)
