#pragma once
// The main window.
#include "app/chipinfo.h"
#include "app/protocol.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPainter;
class QProgressBar;
class QRect;
class QPushButton;
class QSplitter;
class QTimer;
class QWindow;
class TUsbBulk;
class TWQHexEditorEx;
class TLogView;
class TStatusBar;

namespace platform {
class DeviceChangeSource;
class TFileStream;
class TIniFile;
class TMemoryStream;
} // namespace platform

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* owner = nullptr);
    ~TForm1() override;

    static constexpr int MaxImageSize = 0x4000000;

    // --- components -------------------------------------------------------
    QWidget* Panel1 = nullptr;
    QWidget* Panel4 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QWidget* Panel3 = nullptr;
    QPushButton* BitBtn1 = nullptr; // 打开
    QPushButton* BitBtn4 = nullptr; // 保存
    QWidget* Panel2 = nullptr;
    QComboBox* ComboBox1 = nullptr; // chip models
    QLabel* Label1 = nullptr;       // capacity
    QPushButton* BitBtn6 = nullptr; // 自动检测
    QCheckBox* CheckBox4 = nullptr; // check ID
    QPushButton* BitBtn2 = nullptr; // 读出芯片
    QPushButton* BitBtn8 = nullptr; // 擦除芯片
    QCheckBox* CheckBox1 = nullptr; // auto-program: erase
    QPushButton* BitBtn3 = nullptr; // 写入芯片
    QCheckBox* CheckBox2 = nullptr; // auto-program: write
    QPushButton* BitBtn9 = nullptr; // 校验芯片
    QCheckBox* CheckBox3 = nullptr; // auto-program: verify
    QPushButton* BitBtn7 = nullptr; // 自动烧录
    QPushButton* BitBtn5 = nullptr; // 退出
    QComboBox* ComboBox2 = nullptr; // SPI clock, hidden
    QLabel* Label2 = nullptr;       // hidden
    QPushButton* BitBtn10 = nullptr; // hidden, no action
    QWidget* Panel5 = nullptr;
    TWQHexEditorEx* FlashEditor = nullptr;
    QSplitter* Splitter1 = nullptr;
    TLogView* RichEdit1 = nullptr;
    TStatusBar* StatusBar1 = nullptr;
    QProgressBar* Progress = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* N1 = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    QMenu* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QAction* N7 = nullptr;
    QAction* N8 = nullptr;
    QAction* N9 = nullptr;
    QAction* N10 = nullptr;
    QAction* N13 = nullptr;
    QAction* N12 = nullptr;
    QMenu* About1 = nullptr;
    QAction* Update1 = nullptr;
    QAction* N11 = nullptr;

    // --- members ----------------------------------------------------------
    TUsbBulk* usb = nullptr;
    std::int64_t StartTime = 0; // monotonic ms around a command's worker
    std::int64_t EndTime = 0;
    platform::TFileStream* HexStream = nullptr;  // codec stream slots
    platform::TFileStream* SrecStream = nullptr;
    platform::TIniFile* Ini = nullptr;
    platform::TMemoryStream* ViewStream = nullptr;
    unsigned char* ImageBuffer = nullptr;
    std::int32_t ImageLength = 0;
    int CpuType = 0;
    int SPEED = 0;
    std::vector<ChipInfo> ChipTable; // 1000 records at start; grows with a longer chip list

    // --- window, settings, status bar, log --------------------------------
    void FormCreate();
    void FormShow();
    void FormActivate();
    void FormResize();
    void DeviceChanged(); // WM_DEVICECHANGE: runs CheckProgrammer
    void Timer1Timer();
    void StatusBar1DrawPanel(QPainter& canvas, int panel, const QRect& rect);
    void Update1Click();
    void N11Click();
    void BitBtn5Click();
    void LoadSettings(platform::TIniFile& ini);
    void SaveSettings(platform::TIniFile& ini);
    void ShowError(const QString& text);
    void AddLogLine(const QString& text);      // inserted at the top, as it is
    void AddLogCompleted(const QString& text); // text + " (" + date and time + ")"
    QStringList LogLines() const;              // newest first
    void SetStatusPanel(int index, const QString& text);
    QString StatusPanel(int index) const;
    void ShowElapsedTime(); // panel 3 := hh:mm:ss of EndTime - StartTime
    // The window became active; previous is the window that was active before
    // (nullptr: another application, or a box / dialog already gone). Probes on
    // the first activation after showing and when coming back from one of the
    // program's own forms (Form2), not after our own boxes or file dialogs.
    void WindowActivated(QWidget* previous);

    // --- programmer commands, chip check, probe ---------------------------
    int SelectChip();
    int DetectChip();
    int ChipCheck(); // DetectChip when CheckBox4 is ticked, else SelectChip
    // Sends a command block (with read-back the reply overwrites it); true
    // when the whole block went out and, with read-back, came back.
    bool SendBlock(protocol::CommandBlock& block, int readback);
    // Command 5; false when the transfer failed.
    bool SetAddress(int address, int readback);
    void EndConnection();
    void BitBtn6Click(); // Detect
    void CheckProgrammer();
    const ChipInfo* SelectedChip() const; // nullptr when nothing valid is selected
    int ClockIndex() const;               // ComboBox2.ItemIndex (-1: none)

    // --- chip list ----------------------------------------------------------
    void ComboBox1Change();
    // Typed text: an exact item name selects it, anything else selects nothing.
    void ComboBox1TextEdited(const QString& text);
    void N12Click();
    int ChipCount() const; // items of ComboBox1

    // --- chip operations ----------------------------------------------------
    void BitBtn2Click(); // read
    void BitBtn3Click(); // write
    void BitBtn8Click(); // erase
    void BitBtn9Click(); // verify
    void BitBtn7Click(); // auto-program
    void ReadChip();
    int WriteChip();
    void EraseChip();
    int VerifyChip();
    // Set by a worker whose transfer failed (it has shown its box); WriteChip
    // and VerifyChip then return -1.
    bool WorkerFailed = false;

    // --- image files -------------------------------------------------------
    void BitBtn1Click(); // open
    void BitBtn4Click(); // save
    int LoadImageFile(const QString& fileName, unsigned char* buffer, int maxSize);
    void SaveImageFile(const QString& fileName, const unsigned char* data, int count);

    // --- re-entry guard -----------------------------------------------------
    // True while a command or probe runs (and may pump messages).
    bool Busy() const { return busyDepth_ > 0; }
    bool ProbePending() const { return probePending_; }
    bool ClosePending() const { return closePending_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class CommandScope;
    void BuildComponents();
    void BuildMenus();
    void ConnectHandlers();
    void FormClose();
    void FocusWindowChanged(QWindow* now);

    int busyDepth_ = 0;
    bool probePending_ = false;
    bool closePending_ = false;
    bool shown_ = false;
    bool activatedSinceShow_ = false;
    QPointer<QWindow> lastFocus_;
    std::unique_ptr<platform::DeviceChangeSource> deviceChanges_;
};

// Re-entry guard. Chip commands pump messages while they run, so a second
// button press, a device change or an activation can arrive in the middle.
// EVERY command handler and the probe open a scope first:
//
//     CommandScope scope(*this);
//     if (!scope.entered())
//         return;          // another command runs: refused silently
//
// While a scope is open the probe (CheckProgrammer) is only marked pending and
// closing the window is postponed; when the outermost scope ends, a pending
// close happens, else a pending probe runs once.
class CommandScope {
public:
    explicit CommandScope(TForm1& form);
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;
    bool entered() const { return entered_; }

private:
    TForm1& form_;
    bool entered_;
};

// Ends the connection (EndConnection) when a command or the probe leaves the
// scope, also by an exception, so the device never stays open after it.
class ConnectionEnd {
public:
    explicit ConnectionEnd(TForm1& form) : form_(form) {}
    ~ConnectionEnd();
    ConnectionEnd(const ConnectionEnd&) = delete;
    ConnectionEnd& operator=(const ConnectionEnd&) = delete;

private:
    TForm1& form_;
};

extern TForm1* Form1;

// The settings file read at start: the program's path with ".ini" when that
// file can be written (it may be written, or it is missing in a folder that
// may be written); else the same name in the user's config folder once the
// settings were moved there.
QString SettingsFileName();
// The settings file in the user's config folder (XDG), used once the one
// beside the program could not be written.
QString UserSettingsFileName();
// UpdateFile, and when that fails, the same settings into
// UserSettingsFileName(); false when neither could be written.
bool WriteSettingsFile(platform::TIniFile& ini);
