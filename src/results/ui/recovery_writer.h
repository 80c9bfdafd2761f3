#pragma once

#include "results/recovery_queue.h"

#include <QObject>
#include <QString>

namespace quarry::results {

// The saving queue for the window: its reports become signals. Lives on the GUI thread.
class RecoveryWriter : public QObject, public RecoveryQueue {
    Q_OBJECT
public:
    explicit RecoveryWriter(QObject* parent = nullptr);

signals:
    // Emitted on the saving thread; connect with a queued or automatic connection.
    void batchProgress(const quarry::results::RecoveryProgress& progress);
    void batchEnded();
    void liveDestinationFull();
    void itemChecked(int row, const QString& name, const QString& note, bool copy, int check);
};

} // namespace quarry::results

Q_DECLARE_METATYPE(quarry::results::RecoveryProgress)
