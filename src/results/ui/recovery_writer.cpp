#include "results/ui/recovery_writer.h"

namespace quarry::results {

RecoveryWriter::RecoveryWriter(QObject* parent)
    : QObject(parent),
      RecoveryQueue(RecoveryEvents{
          [this](const RecoveryProgress& progress) { emit batchProgress(progress); },
          [this] { emit batchEnded(); }, [this] { emit liveDestinationFull(); },
          [this](int row, const std::string& name, const std::string& note, bool copy, int check) {
              emit itemChecked(row, QString::fromStdString(name), QString::fromStdString(note), copy, check);
          }}) {
    qRegisterMetaType<RecoveryProgress>();
}

} // namespace quarry::results
