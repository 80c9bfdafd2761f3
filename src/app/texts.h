#pragma once

#include <QString>

// Texts the controller puts on screen; shared by its source files.
namespace quarry::app::texts {

inline const QString kMediaScreenHelp =
    QStringLiteral("\nSelect the storage media from List from which you want to recover Data. Press ‘Next’ "
                   "button to continue... ");
inline const QString kEntireDiskHelp =
    QStringLiteral("If ‘Entire Disk’ option is selected, Quarry Recovery searches lost data in the entire "
                   "storage of selected "
                   "disk. If you want to perform within a specific sector range or in specific partition, "
                   "please select other "
                   "searching criteria. Else press ‘Next’ button to start searching data in Entire disk.");
inline const QString kSectorRangeHelp =
    QStringLiteral("‘Sector Range’ option provides facility to specify the range of start and end sector of "
                   "storage media within "
                   "which you want to perform searching for lost data. Please drag knob of Slider to enter "
                   "sector range or you "
                   "can also enter these values in Start Sector and End Sector fields manually.");
inline const QString kFileTypeHelp = QStringLiteral(
    "\nPlease select the required extension type for recovery process. Press ‘Next’ button to continue... ");
inline const QString kAfterScanHelp =
    QStringLiteral("\nTo select another disk for recovery, click on ‘Back’ Button.");

inline const QString kNoValue = QStringLiteral("<None>");

inline const QString kMediumUnreadable = QStringLiteral("\nError in storage media reading.");
inline const QString kSelectMedia = QStringLiteral("\nPlease select a storage media from list.");
inline const QString kNoHelpFile = QStringLiteral("\nHelp file does not exist!");
inline const QString kHelpUnreadable = QStringLiteral("\nHelp file cannot be opened!");

} // namespace quarry::app::texts
