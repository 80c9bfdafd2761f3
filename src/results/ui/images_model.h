#pragma once

#include "results/ui/myimageobject.h"

#include <QAbstractListModel>
#include <functional>
#include <map>
#include <vector>

namespace quarry::results {

// `images`: the found items that both image browsers show. Items are only appended, in the
// order found, and removed all at once. Nothing can be dragged out of a browser.
class ImagesModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        UidRole = Qt::UserRole + 1, // image_UID
        PathRole,                   // path
        StartSectorRole,            // File_Start_Sector (qulonglong)
        EndSectorRole,              // File_End_Sector (qulonglong)
        TypeRole,                   // the name's extension, upper case
        BytesRole,                  // bytes as carved (qulonglong)
        PixelSizeRole,              // a photo's picture size (QSize; invalid when unknown)
        CheckRole,                  // kNotChecked, or the FileCheck of its format check
        CopyRole,                   // a copy of a file saved already (bool)
    };
    static constexpr int kNotChecked = -1;

    explicit ImagesModel(QObject* parent = nullptr);

    // Where the recovery mode is read from each time a picture is asked for; photo mode
    // until set.
    void setRecoveryModeSource(std::function<int()> source);

    // Appends a batch of items with one insertion.
    void appendItems(std::vector<MyImageObject> items);
    // What saving made of the item at `row`, shown in its tooltip; a `copy` of a file saved
    // already also gets a badge; `check` is what its format check said (CheckRole). Kept for a
    // row not appended yet (saving may be quicker than the thumbnail); ignored when the row
    // holds an item of another name.
    void setItemNote(int row, const QString& name, const QString& note, bool copy, int check = kNotChecked);
    // Who makes the thumbnail of an item with thumbnailPending, once it is shown; it hands it
    // back through setThumbnail.
    void setThumbnailRequester(std::function<void(int row, const MyImageObject& item)> requester);
    // Ignored when the row holds an item of another name.
    void setThumbnail(int row, const QString& name, const QByteArray& thumbnail);
    // After a scan: the name file-system traces give the file starting at each item's first
    // sector (empty when none does), shown in the item's tooltip.
    void setOriginalNames(const std::function<QString(std::uint64_t startSector)>& nameAt);
    void clear();

    int numberOfItems() const { return static_cast<int>(items_.size()); }
    const MyImageObject& itemAtIndex(int row) const {
        return items_.at(static_cast<std::size_t>(row)).object;
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    struct Entry {
        MyImageObject object;
        quint64 serial; // names the decoded thumbnail in the pixmap cache
        QString note;
        bool copy = false;
        int check = kNotChecked;
        QString originalName;
    };

    QVariant picture(const Entry& entry, int row) const;

    struct Note {
        QString name, text;
        bool copy;
        int check;
    };
    void applyNote(int row, const Note& note);

    std::vector<Entry> items_;
    std::map<int, Note> pendingNotes_;
    std::function<int()> recoveryMode_;
    std::function<void(int, const MyImageObject&)> thumbnailRequester_;
};

} // namespace quarry::results
