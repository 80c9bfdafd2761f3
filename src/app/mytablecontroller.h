#pragma once

#include "app/item_recovery.h"
#include "app/prompter.h"
#include "app/wizard_flow.h"
#include "carving/found_groups.h"
#include "carving/scan.h"
#include "carving/sector_source.h"
#include "common/resource_folder.h"
#include "media/media_record.h"
#include "range/sector_range.h"
#include "signatures/checklist.h"
#include "signatures/definition_parser.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAbstractSlider;
class QCompleter;
class QFileSystemModel;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QShortcut;
class QSplitter;
class QEvent;
class QListView;
class QMainWindow;
class QMediaPlayer;
class QPushButton;
class QTableView;

namespace quarry::carving {
class ScanBridge;
} // namespace quarry::carving

namespace quarry::traces {
class TraceCatalog;
} // namespace quarry::traces

namespace quarry::results {
class FoundItemsFilter;
class ImagesModel;
class DocumentViewer;
class MyImageObject;
class PhotoViewer;
class RecoveryWriter;
} // namespace quarry::results

namespace Ui {
class MainWindow;
}

namespace quarry::app {

class About_Sheet;
class Browse_Info;
class ClearPreview_Modeless;
class FilterBar;
class LoadDrive_Modeless;
class MediaWindow;
class ScanEndBar;
class SaveFile_Info;
class SaveFile_Info_For_RAW;
class KeyAction;
class SessionSettings;
class EmptyGroupFilter;
class TypeListFilter;
struct RangeControls;
class CheckListModel;
class FoundGroupsModel;
class MediaScreen;
class RangeScreen;
class ResultsPanel;
class ScanSession;
class ScanStatusLine;
class ScreenGroups;
class SignatureChoice;

// The one controller of the application: owns the main window loaded from its interface
// file, and performs every user action: each named operation forwards to the object whose job
// it is (wizard flow, screen groups, media and range screens, table models, scan session,
// results panel, saving). Its operations are split by subsystem over the mytablecontroller_*.cpp
// files.
class MyTableController final : public QObject {
    Q_OBJECT
public:
    using MediaLister = std::function<std::vector<media::MyDataObject>()>;
    using UrlOpener = std::function<bool(const QUrl&)>;
    // Asks for a folder; nothing when the user cancels.
    using FolderChooser = std::function<std::optional<QString>(QWidget* parent)>;
    // Opens a medium read-only; null when it cannot be opened.
    using SourceOpener = std::function<std::unique_ptr<carving::SectorSource>(const std::string& path)>;
    // Ends the application once the user has confirmed the exit.
    using Terminator = std::function<void()>;
    // The refusal text when saving into `destination` could write onto the medium `source`.
    using DestinationChecker = ItemRecovery::DestinationChecker;
    // Asks for a disk image file; nothing when the user cancels.
    using DiskImageChooser = std::function<std::optional<QString>(QWidget* parent)>;

    // Loads the main window and sets the initial values; awakeFromNib() then starts it up.
    explicit MyTableController(std::string resourceFolder = quarry::defaultResourceFolder(),
                               std::shared_ptr<Prompter> prompter = std::make_shared<MessageBoxPrompter>());
    ~MyTableController() override;

    // Where the media list comes from (default: the mounted media of this machine).
    void setMediaLister(MediaLister lister);
    // How a document is opened with the desktop's default application.
    void setUrlOpener(UrlOpener opener);
    // The destination folder chooser (default: a folders-only file dialog).
    void setFolderChooser(FolderChooser chooser);
    // How scans and previews open the medium (default: carving::openFileSource).
    void setSourceOpener(SourceOpener opener);
    // What a confirmed exit does after the clean-up (default: quit the event loop).
    void setTerminator(Terminator terminator);
    // How a destination is checked against the scanned medium (default: results::DestinationCheck).
    void setDestinationChecker(DestinationChecker checker);
    // The disk image chooser (default: a file dialog).
    void setDiskImageChooser(DiskImageChooser chooser);

    // Keeps the settings in this INI file instead of the user's (call before awakeFromNib()).
    void setSettingsFile(const QString& file);

    // The start-up sequence; call once, after construction.
    void awakeFromNib();

    // --- Accessors ---
    QMainWindow* window() const;
    QWidget* controlPanel() const;
    QTableView* idTableView() const;
    QTableView* idCheckTableView() const;
    QTableView* idSigTableView() const;
    const std::string& resourceFolder() const { return resourceFolder_; }
    Prompter& prompter() const { return *prompter_; }

    const std::vector<media::MyDataObject>& nsMutaryOfDataObject() const;
    void setNsMutaryOfDataObject(std::vector<media::MyDataObject> records);
    // Changed in place, the list is redrawn by reloadTable().
    signatures::CheckList& nsCheckedListDataObject();
    void setNsCheckedListDataObject(signatures::CheckList rows);
    carving::FoundFileGroups& nsSIGFileInfoDataObject();
    const signatures::SignatureLists& signatureLists() const;

    std::string Demo_Test_File() const;
    void setDemo_Test_File(std::string path);

    // --- Media list (mytablecontroller_media.cpp) ---
    void Reload_Drive_list_Function();
    void rebresh_drives(QObject* sender = nullptr);
    void getVolumeToFSGetInfo();
    void addRow(media::MyDataObject record);
    void deleteSelectedRow(QObject* sender = nullptr);
    void addAtSelectedRow(QObject* sender = nullptr);

    // --- Tables (mytablecontroller_tables.cpp) ---
    // A click in a table; clickedColumn is -1 outside every column.
    void clickTable(QTableView* table, int clickedColumn);
    // Redraws a table from its list.
    void reloadTable(QTableView* table);

    // --- Wizard (mytablecontroller_wizard.cpp) ---
    void Next_btn(QObject* sender = nullptr);
    void Back_btn(QObject* sender = nullptr);
    void Photo_Mode_Radio(QObject* sender = nullptr);
    void Video_Mode_Radio(QObject* sender = nullptr);
    void RawFile_Mode_Radio(QObject* sender = nullptr);
    Mode mode() const { return wizard_.mode(); }
    // Wizard step: 0 media, 1 scan range, 2 file types (video/raw) or photo scan, 3 video/raw scan.
    std::int32_t screen_counter() const { return wizard_.step(); }

    // --- Scan-range screen (mytablecontroller_range.cpp) ---
    void Entire_Disk_Radio(QObject* sender = nullptr);
    void Entire_Disk_Radio_Sig(QObject* sender = nullptr);
    void Sector_Range_Radio(QObject* sender = nullptr);
    void Sector_Range_Radio_Sig(QObject* sender = nullptr);
    void DO_Start_slider(QObject* sender = nullptr);
    void DO_End_slider(QObject* sender = nullptr);
    void DO_Start_slider_Sig(QObject* sender = nullptr);
    void DO_End_slider_Sig(QObject* sender = nullptr);
    // A range text field was edited; any other control is ignored.
    void controlTextDidChange(QObject* field);
    bool Check_For_Valid_Sec(const QString& text) const;

    // --- Screen groups and end of scan (mytablecontroller_screens.cpp) ---
    void show_hide_1_screen(bool hide);
    void show_hide_2_screen(bool hide);
    void show_hide_3_screen_Photo(bool hide);
    void show_hide_3_screen_RawFile(bool hide);
    void show_hide_4_screen_RawFile(bool hide);
    // Call when a scan starts: its end-of-scan step may then run, once.
    void armEndOfScanStep();
    // The end-of-scan step. Callable from the scan's worker thread: the widget work and the
    // information dialog run on the GUI thread while the caller waits.
    void Final_or_Stop_Screen();

    // --- Help, About, movie view (mytablecontroller_dialogs.cpp) ---
    void Help_btn(QObject* sender = nullptr);
    void About_btn(QObject* sender = nullptr);
    void closemovie_Win();
    void stopPlayingMovie(QMediaPlayer* movie);
    bool isPlaying(const QMediaPlayer* movie) const;

    // --- Scan threads and progress (mytablecontroller_scan.cpp) ---
    // Worker entries: start the engine of the mode on the scan's worker thread.
    void Photo_Rec_Thread();
    void Raw_File_Rec_Thread();
    // Starts the progress refresh, twice a second, on the GUI thread.
    void startTimerThread();
    void timerTickSetLabel();
    // The engine bridge, counters, progress and end-of-scan hand-shake.
    ScanSession& scanSession() const { return *scanSession_; }
    carving::ScanBridge& scanBridge() const;
    // The medium chosen on the media screen.
    const media::MyDataObject& chosenMedium() const { return chosenMedium_; }

    // --- Image browsers (mytablecontroller_browsers.cpp) ---
    // `images`: the found items both browsers show.
    results::ImagesModel& images() const;
    QListView* imageBrowser() const;
    QListView* imageBrowser_2() const;
    void zoomSliderDidChange(QObject* sender = nullptr);
    // `action` is the QAbstractSlider::SliderAction the scroller is performing.
    void scrollerAction(QAbstractSlider* sender, int action);

    // --- File-type check list (mytablecontroller_checklist.cpp) ---
    void Select_Unselect_Check_btn(QObject* sender = nullptr);
    void Thro_Mode_Chk_SIG_Btn(QObject* sender = nullptr);

    // --- Stop and exit (mytablecontroller_exit.cpp) ---
    void stop_usb_disk(QObject* sender = nullptr);
    void Exit_Btn(QObject* sender = nullptr);
    // The exit prompt and clean-up; true when the user confirmed and the application ends.
    bool Exit_App();
    // The main window's close hook: true lets the window close.
    bool windowShouldClose(QWidget* window);
    bool eventFilter(QObject* watched, QEvent* event) override;

    // --- Item preview (mytablecontroller_preview.cpp) ---
    void imageBrowserSelectionDidChange(QListView* browser);
    // Copies the item's sectors on a worker behind the preparation sheet, then shows them; a
    // request made while a copy runs waits for it, and only the latest such request is kept.
    void CreateFile_QuickLook_View_Demo(const QString& name, std::uint64_t startSector,
                                        std::uint64_t endSector);
    void QuickLook_Preview_Thread(const QString& path);
    void setQuickLook_View_Demo(const QString& filePath, const QString& fileName);
    void Image_Preview(const QString& filePath, const QString& fileName);
    // Where temporary preview files go: the resource folder when it is writable, else a
    // private folder of this user.
    std::string previewFolder() const;
    // The private fallback folder of temporary preview files.
    static std::string privatePreviewFolder();

    // --- Large viewers (mytablecontroller_preview.cpp) ---
    // Opens the item at `row` of `browser` large: pictures in the photo viewer, PDFs in the
    // document viewer, sounds and movies in the media window, once copied out on a worker;
    // other items stay in the preview.
    void openItemLarge(QListView* browser, int row);
    // Opens the current item of the browser that has the focus; false when none has.
    bool openFocusedItemLarge();
    // Each is null until first opened.
    results::PhotoViewer* photoViewer() const;
    results::DocumentViewer* documentViewer() const;
    MediaWindow* mediaWindow() const;
    results::DocumentViewer* helpWindow() const { return helpWindow_.get(); }

    // --- Destination folder (mytablecontroller_destination.cpp) ---
    void Browse_Path(QObject* sender = nullptr);
    void Browse_Path_Sig(QObject* sender = nullptr);

    // --- Saving found items and disk images (mytablecontroller_recovery.cpp) ---
    // Save every found item not saved yet, then show the results folder.
    void Open_Folder_btn(QObject* sender = nullptr);
    void Open_Folder_btn_Sig(QObject* sender = nullptr);
    // Adds an image file to the media list as a medium.
    void Open_Image_btn(QObject* sender = nullptr);
    void openDiskImage(const QString& path);
    results::RecoveryWriter& recoveryWriter() const;

    // --- Choosing what to recover, and how a scan ended (mytablecontroller_choose.cpp) ---
    // Saves the selected items that the browser shows.
    void Recover_Selected_btn(QObject* sender = nullptr);
    // After a stop: the sector-range screen, filled from the sector reached to the old end.
    void Resume_From_Here_btn(QObject* sender = nullptr);
    // What the browsers show of `images`.
    results::FoundItemsFilter& foundItemsFilter() const;
    // Index in `images` of the last preview request in the second browser.
    std::uint32_t previewIndex() const;
    // "NoPreview.png" from the resource folder; empty when the file does not exist.
    const std::optional<QByteArray>& placeholderImage() const;

private:
    void connectActions();
    void setUpTables();
    void setUpImageBrowsers();
    void loadSignatureLists();

    void nextFromMediaScreen();
    void nextFromRangeScreen();
    void backToMediaScreen();
    void enterFileTypeScreen();
    void startScanFromRangeScreen();
    void nextFromFileTypeScreen();
    void backToRangeScreen();
    void backToFileTypeScreen();
    void clearFoundItems();
    void resetScanCounters();

    void setUpScanBridge();
    void connectResultActions();
    void prepareScanStart(bool photo);
    range::ScanBounds scanBoundsFromRangeScreen(bool sig, bool progressFromStart);
    void showScanStarted();
    std::unique_ptr<carving::SectorSource> openChosenMedium() const;
    void onPassBegan(const QString& modeLabel);
    void onPhotoItems(std::vector<results::MyImageObject> items);
    void onFileItems(std::vector<results::MyImageObject> items);
    void onScanWorkerFinished(carving::ScanStatus status);
    // Once a scan has ended (worker thread), the names its file-system traces give are shown
    // beside the items.
    void showTracedNames();
    void listFoundByName(const traces::TraceCatalog& traces);
    void returnAfterOpenFailure();
    void invalidateProgressTimer();
    void shutDownScan();
    carving::ScanControl& scanControl() const;
    void chooseDestinationFolder();

    void setUpRecovery();

    void setUpKeyboard();
    void toggleCurrentType();
    void setUpFileTypeList();
    void setUpCountsTable();
    void setUpDestinationField();
    void rememberDestination(const QString& folder);
    void setUpRecentImages();
    void refreshRecentImages();
    void restoreSettings();
    void restoreThumbnailSize();
    void setUpChooseControls();
    QListView* currentBrowser() const;
    std::vector<int> selectedFoundRows() const;
    void updateSelectionLine();
    void updateChooseVisibility();
    void setScanRunning(bool running);
    void showScanEnd();
    void showSavedLine(std::uint64_t files, std::uint64_t bytes, const QString& folder);
    bool openResultsFolder(const QString& folder);
    // Keeps the added controls beside the window's own; true when `event` was one of theirs.
    bool watchChooseControls(QObject* watched, QEvent* event);

    RangeControls rangeControls() const;
    RangeControls rangeControls(bool sigVariant) const;

    void runOnGuiThread(const std::function<void()>& work);
    void finishScanOnGuiThread();
    int alert(const Alert& alert);

    std::string resourceFolder_;
    std::shared_ptr<Prompter> prompter_;
    UrlOpener urlOpener_;

    std::unique_ptr<QMainWindow> window_;
    std::unique_ptr<Ui::MainWindow> ui_;
    std::unique_ptr<SessionSettings> settings_;
    // Added to the window in code; declared after it so they go before it. The splitter holds
    // widgets of the window, the check box among them, so it goes after that.
    std::unique_ptr<QSplitter> countsSplitter_;
    std::vector<std::unique_ptr<QShortcut>> shortcuts_;
    std::unique_ptr<KeyAction> spaceTicksType_;
    std::unique_ptr<TypeListFilter> typeListFilter_;
    std::unique_ptr<EmptyGroupFilter> emptyGroupFilter_;
    std::unique_ptr<QFileSystemModel> destinationFolders_;
    std::unique_ptr<QCompleter> destinationCompleter_;
    std::unique_ptr<QMenu> recentImagesMenu_;
    std::unique_ptr<QPushButton> recentImagesButton_;
    std::unique_ptr<QLineEdit> typeSearch_;
    std::unique_ptr<QCheckBox> hideEmptyTypes_;
    WizardFlow wizard_;
    std::unique_ptr<ScreenGroups> screens_;
    std::unique_ptr<RangeScreen> rangeScreen_;
    std::unique_ptr<SignatureChoice> signatures_;

    // Declared after the window so they go before it.
    std::unique_ptr<LoadDrive_Modeless> LoadDisk_Window;
    std::unique_ptr<Browse_Info> BrowseInfo_Window;
    std::unique_ptr<ClearPreview_Modeless> ClearPreview_Window;
    std::unique_ptr<SaveFile_Info> SaveFile_Info_Window;
    std::unique_ptr<SaveFile_Info_For_RAW> SaveFile_Info_For_RAW_Window;
    std::unique_ptr<results::DocumentViewer> helpWindow_;
    std::unique_ptr<MediaScreen> mediaScreen_;
    std::unique_ptr<CheckListModel> checkListModel_;
    // Holds the groups a raw scan fills: goes after the scan bridge.
    std::unique_ptr<FoundGroupsModel> groupsModel_;

    FolderChooser folderChooser_;
    SourceOpener sourceOpener_;
    Terminator terminator_;
    media::MyDataObject chosenMedium_;
    DiskImageChooser diskImageChooser_;
    FilterBar* filterBar_ = nullptr;
    ScanEndBar* scanEndBar_ = nullptr;
    QPushButton* recoverSelected_ = nullptr;
    std::unique_ptr<ScanStatusLine> statusLine_;
    bool scanRunning_ = false;
    carving::ScanStatus lastScanStatus_ = carving::ScanStatus::Complete;
    std::uint64_t stoppedAt_ = 0;  // the sector the last scan reached
    std::uint64_t stoppedEnd_ = 0; // and the end of its range
    QString savedFolder_;          // where the last save went
    // Exit was confirmed: the window's close that follows asks nothing more.
    bool exitConfirmed_ = false;
    // Saves what the scan finds; fed by the scan's worker.
    std::unique_ptr<ItemRecovery> recovery_;
    // The found items, their preview and viewers; goes before the scan session it uses.
    std::unique_ptr<ResultsPanel> panel_;
    // Last, so its worker has ended before anything it uses goes away.
    std::unique_ptr<ScanSession> scanSession_;
};

} // namespace quarry::app
