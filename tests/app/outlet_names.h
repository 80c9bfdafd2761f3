#pragma once

#include <QStringList>

// The controls of the main window by the names the controller knows them by, grouped by the
// screen that shows them.
namespace quarry::app::test::outlets {

inline const QStringList kEveryScreen = {"_help_info", "_back_btn",        "_next_btn",   "_help_btn",
                                         "_about_btn", "_disk_identifier", "_sectors_val"};

inline const QStringList kMediaScreen = {"idTableView",     "idtablesclview",  "_refresh_btn",
                                         "_refresh_Box",    "_refresh_Label",  "_rec_mode_Box",
                                         "_rec_mode_Photo", "_rec_mode_Video", "_rec_mode_RawFile"};

inline QStringList suffixed(const QStringList& names, const QString& suffix) {
    QStringList out;
    for (const QString& n : names)
        out << n + suffix;
    return out;
}

inline const QStringList kEntireDisk = {"_disk",
                                        "_vol_name",
                                        "_file_system",
                                        "_size",
                                        "_start_sector_entire",
                                        "_end_sector_entire",
                                        "_disk_val",
                                        "_vol_name_val",
                                        "_file_system_val",
                                        "_size_val",
                                        "_start_sector_entire_val",
                                        "_end_sector_entire_val"};

inline const QStringList kSectorRange = {
    "_Sector_Range_Info", "_Start_Sec_Box",   "_Start_Sec_Min",    "_Start_Sec_Min_val", "_Start_Sec_Max",
    "_Start_Sec_Max_val", "_Start_Sec_curr",  "_Start_slider_val", "_Start_Slider",      "_End_Sec_Box",
    "_End_Sec_Min",       "_End_Sec_Min_val", "_End_Sec_Max",      "_End_Sec_Max_val",   "_End_Sec_curr",
    "_End_slider_val",    "_End_Slider"};

inline const QStringList kRangeFrameSig = {
    "_disk_sector_info_Box",   "_browse_Box",     "_path_label",     "_path", "_browse_path",
    "_searching_criteria_Box", "_entire_disk_rd", "_sector_range_rd"};

inline const QStringList kRangeFramePhoto =
    kRangeFrameSig + QStringList{"_Thro_Mode_Chk", "_Thro_Mode_Chk_Label", "_Thro_Mode_Info"};

inline const QStringList kPhotoScan = {"idImagesclview", "imageBrowser", "_Progress_Horz",
                                       "_sector_label",  "_Mode_label",  "_stop_scan"};

inline const QStringList kFileTypeScreen = {"idCheckTableView", "idChecktablesclview", "_select_unselect_Chk",
                                            "_Thro_Mode_Chk_SIG"};

inline const QStringList kRawScan = {"_open_folder_Sig", "_Progress_Horz",     "_sector_label",
                                     "_Mode_label",      "_stop_scan",         "idImagesclview_2",
                                     "imageBrowser_2",   "_QuickLook_View_Box"};

inline const QStringList kOthers = {
    "controlPanel",      "_Search_Type",          "_zoom_label", "_zoom_slider",
    "_open_folder",      "_QuickLook_View",       "mMovieView",  "idSigTableView",
    "idSigtablesclview", "_ClearThumbnail_Label", "_exit_btn"};

inline QStringList all() {
    QStringList names = kEveryScreen + kMediaScreen + kEntireDisk + kSectorRange + kRangeFramePhoto +
                        suffixed(kEntireDisk + kSectorRange + kRangeFrameSig, "_Sig") + kPhotoScan +
                        kFileTypeScreen + kRawScan + kOthers;
    names.removeDuplicates();
    return names;
}

} // namespace quarry::app::test::outlets
