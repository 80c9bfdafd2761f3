#include "app/range_controls.h"

#include "ui_mainwindow.h"

namespace quarry::app {

bool RangeControls::entireDiskChosen() const {
    return entireDisk->isChecked() && !sectorRange->isChecked();
}

bool RangeControls::sectorRangeChosen() const {
    return !entireDisk->isChecked() && sectorRange->isChecked();
}

RangeControls photoRangeControls(const Ui::MainWindow& ui) {
    return RangeControls{
        ui._entire_disk_rd,
        ui._sector_range_rd,
        ui._disk_val,
        ui._vol_name_val,
        ui._file_system_val,
        ui._size_val,
        ui._start_sector_entire_val,
        ui._end_sector_entire_val,
        ui._Start_Sec_Min_val,
        ui._Start_Sec_Max_val,
        ui._Start_slider_val,
        ui._Start_Slider,
        ui._End_Sec_Min_val,
        ui._End_Sec_Max_val,
        ui._End_slider_val,
        ui._End_Slider,
        ui._path,
        ui._Sector_Range_Info,
        {ui._disk, ui._vol_name, ui._file_system, ui._size, ui._start_sector_entire, ui._end_sector_entire,
         ui._disk_val, ui._vol_name_val, ui._file_system_val, ui._size_val, ui._start_sector_entire_val,
         ui._end_sector_entire_val},
        {ui._Sector_Range_Info, ui._Start_Sec_Box, ui._Start_Sec_Min, ui._Start_Sec_Min_val,
         ui._Start_Sec_Max, ui._Start_Sec_Max_val, ui._Start_Sec_curr, ui._Start_slider_val, ui._Start_Slider,
         ui._End_Sec_Box, ui._End_Sec_Min, ui._End_Sec_Min_val, ui._End_Sec_Max, ui._End_Sec_Max_val,
         ui._End_Sec_curr, ui._End_slider_val, ui._End_Slider},
        {ui._disk_sector_info_Box, ui._browse_Box, ui._path_label, ui._path, ui._browse_path,
         ui._keep_rejected_Chk, ui._searching_criteria_Box, ui._entire_disk_rd, ui._sector_range_rd,
         ui._Thro_Mode_Chk, ui._Thro_Mode_Chk_Label, ui._Thro_Mode_Info},
    };
}

// The video and raw-file variant has no thorough check box.
RangeControls sigRangeControls(const Ui::MainWindow& ui) {
    return RangeControls{
        ui._entire_disk_rd_Sig,
        ui._sector_range_rd_Sig,
        ui._disk_val_Sig,
        ui._vol_name_val_Sig,
        ui._file_system_val_Sig,
        ui._size_val_Sig,
        ui._start_sector_entire_val_Sig,
        ui._end_sector_entire_val_Sig,
        ui._Start_Sec_Min_val_Sig,
        ui._Start_Sec_Max_val_Sig,
        ui._Start_slider_val_Sig,
        ui._Start_Slider_Sig,
        ui._End_Sec_Min_val_Sig,
        ui._End_Sec_Max_val_Sig,
        ui._End_slider_val_Sig,
        ui._End_Slider_Sig,
        ui._path_Sig,
        ui._Sector_Range_Info_Sig,
        {ui._disk_Sig, ui._vol_name_Sig, ui._file_system_Sig, ui._size_Sig, ui._start_sector_entire_Sig,
         ui._end_sector_entire_Sig, ui._disk_val_Sig, ui._vol_name_val_Sig, ui._file_system_val_Sig,
         ui._size_val_Sig, ui._start_sector_entire_val_Sig, ui._end_sector_entire_val_Sig},
        {ui._Sector_Range_Info_Sig, ui._Start_Sec_Box_Sig, ui._Start_Sec_Min_Sig, ui._Start_Sec_Min_val_Sig,
         ui._Start_Sec_Max_Sig, ui._Start_Sec_Max_val_Sig, ui._Start_Sec_curr_Sig, ui._Start_slider_val_Sig,
         ui._Start_Slider_Sig, ui._End_Sec_Box_Sig, ui._End_Sec_Min_Sig, ui._End_Sec_Min_val_Sig,
         ui._End_Sec_Max_Sig, ui._End_Sec_Max_val_Sig, ui._End_Sec_curr_Sig, ui._End_slider_val_Sig,
         ui._End_Slider_Sig},
        {ui._disk_sector_info_Box_Sig, ui._browse_Box_Sig, ui._path_label_Sig, ui._path_Sig,
         ui._browse_path_Sig, ui._keep_rejected_Chk_Sig, ui._searching_criteria_Box_Sig,
         ui._entire_disk_rd_Sig, ui._sector_range_rd_Sig},
    };
}

void setHidden(const std::vector<QWidget*>& widgets, bool hide) {
    for (QWidget* w : widgets)
        w->setHidden(hide);
}

} // namespace quarry::app
