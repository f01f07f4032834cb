// Main window: components, menus, lifetime, activation and close.
#include "app/logview.h"
#include "app/statusbar.h"
#include "app/unit1.h"
#include "hexeditor/wqhcolors.h"
#include "hexeditor/ex/wqhexeditorex.h"
#include "link/usbasp.h"
#include "platform/devicechange.h"
#include "platform/exceptions.h"
#include "platform/inifile.h"
#include "platform/paths.h"
#include "platform/seams.h"
#include "platform/streams.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <cstring>

namespace {

// The designed fonts are Windows fonts; keep their names and let the CJK
// font stand in, so the Chinese captions always have glyphs.
QFont DesignFont(const QString& family, int pixelHeight)
{
    QFont font(family);
    font.setFamilies({family, QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(pixelHeight);
    return font;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& hint, bool ticked)
{
    auto* box = new QCheckBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(hint);
    box->setChecked(ticked);
    return box;
}

QWidget* Row(QWidget* parent, QWidget* a, QWidget* b)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(a, 1);
    if (b)
        layout->addWidget(b, 0);
    return row;
}

const QString StatusPanel4Text = QStringLiteral("QV750 USB Programmer");

} // namespace

TForm1::TForm1(QWidget* owner)
    : QMainWindow(owner)
{
    setObjectName(QStringLiteral("Form1"));
    BuildComponents();
    BuildMenus();
    ConnectHandlers();
    // Client area as designed, below the menu bar, which is only now full
    // height; the settings file moves and sizes the window later.
    resize(776, 475 + menuBar()->heightForWidth(776));

    StartTime = 0;
    EndTime = 0;
    ChipTable.assign(1000, ChipInfo{});
    ViewStream = new platform::TMemoryStream;
    ImageBuffer = new unsigned char[MaxImageSize];
    std::memset(ImageBuffer, 0xFF, MaxImageSize);
    usb = new TUsbBulk(this);

    // The progress bar lives inside the status bar, over the last panel.
    Progress->setParent(StatusBar1);
    const int border = StatusBar1->BorderWidth();
    Progress->setGeometry(317, border + 2, StatusBar1->width() - 315, StatusBar1->height() - (border + 2));
    Progress->hide();

    deviceChanges_ = platform::CreateDeviceChangeSource();
    if (deviceChanges_)
        deviceChanges_->setHandler([this] { platform::Guarded([this] { DeviceChanged(); }); });
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            [this](QWindow* now) { platform::Guarded([this, now] { FocusWindowChanged(now); }); });

    platform::Guarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    if (deviceChanges_)
        deviceChanges_->setHandler({});
    delete Ini;
    Ini = nullptr;
    delete[] ImageBuffer;
    ImageBuffer = nullptr;
    delete ViewStream;
    ViewStream = nullptr;
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::BuildComponents()
{
    setWindowTitle(QStringLiteral("QV750高速编程器"));
    setFont(DesignFont(QStringLiteral("MS Sans Serif"), 16));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    auto* clientLayout = new QVBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);
    setCentralWidget(client);

    // Top: the last file's path, Open and Save.
    Panel1 = new QWidget(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(41);
    auto* top = new QHBoxLayout(Panel1);
    top->setContentsMargins(4, 4, 4, 4);
    Panel4 = new QWidget(Panel1);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    auto* p4 = new QHBoxLayout(Panel4);
    p4->setContentsMargins(0, 0, 0, 0);
    Edit1 = new QLineEdit(Panel4);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    p4->addWidget(Edit1);
    Panel3 = new QWidget(Panel1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto* p3 = new QHBoxLayout(Panel3);
    p3->setContentsMargins(0, 0, 0, 0);
    BitBtn1 = MakeButton(Panel3, "BitBtn1", QStringLiteral("打开"));
    BitBtn4 = MakeButton(Panel3, "BitBtn4", QStringLiteral("保存"));
    p3->addWidget(BitBtn1);
    p3->addWidget(BitBtn4);
    top->addWidget(Panel4, 1);
    top->addWidget(Panel3, 0);
    clientLayout->addWidget(Panel1);

    auto* middle = new QWidget(client);
    auto* middleLayout = new QHBoxLayout(middle);
    middleLayout->setContentsMargins(0, 0, 0, 0);
    middleLayout->setSpacing(0);
    clientLayout->addWidget(middle, 1);

    // Left: the command column.
    Panel2 = new QWidget(middle);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedWidth(185);
    auto* column = new QVBoxLayout(Panel2);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);
    ComboBox1 = new QComboBox(Panel2);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    // Typed text only selects; it never becomes a chip of its own.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setMaxVisibleItems(24);
    // No inline completion: the typed text is what decides the selection.
    ComboBox1->setCompleter(nullptr);
    Label1 = new QLabel(QStringLiteral("1C5114"), Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    BitBtn6 = MakeButton(Panel2, "BitBtn6", QStringLiteral("自动检测"));
    CheckBox4 = MakeCheckBox(Panel2, "CheckBox4", QStringLiteral("读写前检测芯片ID"), false);
    BitBtn2 = MakeButton(Panel2, "BitBtn2", QStringLiteral("读出芯片"));
    BitBtn8 = MakeButton(Panel2, "BitBtn8", QStringLiteral("擦除芯片"));
    CheckBox1 = MakeCheckBox(Panel2, "CheckBox1", QStringLiteral("自动烧录时擦除"), true);
    BitBtn3 = MakeButton(Panel2, "BitBtn3", QStringLiteral("写入芯片"));
    CheckBox2 = MakeCheckBox(Panel2, "CheckBox2", QStringLiteral("自动烧录时写入"), true);
    BitBtn9 = MakeButton(Panel2, "BitBtn9", QStringLiteral("校验芯片"));
    CheckBox3 = MakeCheckBox(Panel2, "CheckBox3", QStringLiteral("自动烧录时校验"), true);
    BitBtn7 = MakeButton(Panel2, "BitBtn7", QStringLiteral("自动烧录"));
    BitBtn5 = MakeButton(Panel2, "BitBtn5", QStringLiteral("退出"));
    ComboBox2 = new QComboBox(Panel2);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems({QStringLiteral("36000000"), QStringLiteral("18000000"), QStringLiteral("9000000"),
                         QStringLiteral("4500000"), QStringLiteral("2250000"), QStringLiteral("1125000"),
                         QStringLiteral("562500"), QStringLiteral("281250")});
    ComboBox2->setCurrentIndex(5);
    ComboBox2->setVisible(false);
    Label2 = new QLabel(QStringLiteral("速度 "), Panel2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setVisible(false);
    BitBtn10 = MakeButton(Panel2, "BitBtn10", QStringLiteral("脱机写入"));
    BitBtn10->setVisible(false);
    column->addWidget(ComboBox1);
    column->addWidget(Label1);
    column->addWidget(Row(Panel2, BitBtn6, CheckBox4));
    column->addWidget(Row(Panel2, BitBtn2, nullptr));
    column->addWidget(Row(Panel2, BitBtn8, CheckBox1));
    column->addWidget(Row(Panel2, BitBtn3, CheckBox2));
    column->addWidget(Row(Panel2, BitBtn9, CheckBox3));
    column->addWidget(Row(Panel2, BitBtn7, nullptr));
    column->addWidget(Row(Panel2, BitBtn5, nullptr));
    column->addWidget(Label2);
    column->addWidget(ComboBox2);
    column->addWidget(BitBtn10);
    column->addStretch(1);
    middleLayout->addWidget(Panel2);

    // Right: hex view over the log.
    Panel5 = new QWidget(middle);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    auto* p5 = new QVBoxLayout(Panel5);
    p5->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new QSplitter(Qt::Vertical, Panel5);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    FlashEditor = new TWQHexEditorEx(Splitter1);
    FlashEditor->setObjectName(QStringLiteral("FlashEditor"));
    {
        // The form's settings on top of the control's own defaults.
        QFont font(QStringLiteral("Courier New"));
        font.setPixelSize(15);
        FlashEditor->SetEditorFont(font);
        FlashEditor->SetBytesPerRow(16);
        FlashEditor->SetTranslation(tkAsIs);
        FlashEditor->SetOffsetFormat(QStringLiteral("-!10:0x|"));
        FlashEditor->SetColors(TWQHColors(nullptr));
        FlashEditor->SetFocusFrame(true);
        FlashEditor->SetDrawGridLines(false);
        FlashEditor->SetShowRuler(true);
        FlashEditor->SetShowPositionIfNotFocused(true);
        FlashEditor->SetBackupExtension(QStringLiteral(".bak"));
        TWQHPrintOptions print;
        print.SetMarginLeft(20);
        print.SetMarginTop(15);
        print.SetMarginRight(25);
        print.SetMarginBottom(25);
        print.SetFlags(WQHPrintFlagBit(pfSelectionBold) | WQHPrintFlagBit(pfMonochrome));
        FlashEditor->SetPrintOptions(print);
        TWQHFont printFont = FlashEditor->PrintFont();
        printFont.Name = QStringLiteral("Courier New");
        printFont.Height = -15;
        // A form fills the print font in place: the editor font stays the one printed with.
        FlashEditor->SetPrintFont(printFont);
        FlashEditor->SetUseEditorFontForPrinting(true);
    }
    RichEdit1 = new TLogView(Splitter1);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setFont(DesignFont(QStringLiteral("Tahoma"), 11));
    Splitter1->addWidget(FlashEditor);
    Splitter1->addWidget(RichEdit1);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({300, 87});
    p5->addWidget(Splitter1);
    middleLayout->addWidget(Panel5, 1);

    StatusBar1 = new TStatusBar(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(32);
    StatusBar1->setCursor(Qt::PointingHandCursor);
    StatusBar1->AddPanel(50, QStringLiteral("状态"));
    StatusBar1->AddPanel(120, QStringLiteral("就绪"));
    StatusBar1->AddPanel(70, QStringLiteral("使用时间"));
    StatusBar1->AddPanel(75, QStringLiteral("00:00:00"));
    StatusBar1->AddPanel(50, StatusPanel4Text, true);
    clientLayout->addWidget(StatusBar1);

    Progress = new QProgressBar(client);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setTextVisible(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
}

void TForm1::BuildMenus()
{
    auto action = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    File1 = menuBar()->addMenu(QStringLiteral("文件"));
    File1->setObjectName(QStringLiteral("File1"));
    N1 = action(File1, "N1", QStringLiteral("打开"));
    N2 = action(File1, "N2", QStringLiteral("保存"));
    N3 = action(File1, "N3", QStringLiteral("退出"));

    N4 = menuBar()->addMenu(QStringLiteral("编程器操作"));
    N4->setObjectName(QStringLiteral("N4"));
    N5 = action(N4, "N5", QStringLiteral("芯片检测"));
    N6 = action(N4, "N6", QStringLiteral("读出"));
    N7 = action(N4, "N7", QStringLiteral("擦除"));
    N8 = action(N4, "N8", QStringLiteral("写入"));
    N9 = action(N4, "N9", QStringLiteral("校验"));
    N10 = action(N4, "N10", QStringLiteral("自动"));
    N13 = N4->addSeparator();
    N13->setObjectName(QStringLiteral("N13"));
    N12 = action(N4, "N12", QStringLiteral("添加芯片"));
    N12->setVisible(false);

    About1 = menuBar()->addMenu(QStringLiteral("关于"));
    About1->setObjectName(QStringLiteral("About1"));
    Update1 = action(About1, "Update1", QStringLiteral("Update"));
    Update1->setVisible(false);
    N11 = action(About1, "N11", QStringLiteral("关于"));
}

void TForm1::ConnectHandlers()
{
    // Every handler body runs guarded: no exception reaches the event loop.
    auto wire = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
        connect(sender, signal, this, [this, handler] { platform::Guarded([this, handler] { (this->*handler)(); }); });
    };
    wire(BitBtn1, &QPushButton::clicked, &TForm1::BitBtn1Click);
    wire(BitBtn4, &QPushButton::clicked, &TForm1::BitBtn4Click);
    wire(BitBtn6, &QPushButton::clicked, &TForm1::BitBtn6Click);
    wire(BitBtn2, &QPushButton::clicked, &TForm1::BitBtn2Click);
    wire(BitBtn8, &QPushButton::clicked, &TForm1::BitBtn8Click);
    wire(BitBtn3, &QPushButton::clicked, &TForm1::BitBtn3Click);
    wire(BitBtn9, &QPushButton::clicked, &TForm1::BitBtn9Click);
    wire(BitBtn7, &QPushButton::clicked, &TForm1::BitBtn7Click);
    wire(BitBtn5, &QPushButton::clicked, &TForm1::BitBtn5Click);
    wire(N1, &QAction::triggered, &TForm1::BitBtn1Click);
    wire(N2, &QAction::triggered, &TForm1::BitBtn4Click);
    wire(N3, &QAction::triggered, &TForm1::BitBtn5Click);
    wire(N5, &QAction::triggered, &TForm1::BitBtn6Click);
    wire(N6, &QAction::triggered, &TForm1::BitBtn2Click);
    wire(N7, &QAction::triggered, &TForm1::BitBtn8Click);
    wire(N8, &QAction::triggered, &TForm1::BitBtn3Click);
    wire(N9, &QAction::triggered, &TForm1::BitBtn9Click);
    wire(N10, &QAction::triggered, &TForm1::BitBtn7Click);
    wire(N12, &QAction::triggered, &TForm1::N12Click);
    wire(Update1, &QAction::triggered, &TForm1::Update1Click);
    wire(N11, &QAction::triggered, &TForm1::N11Click);
    wire(Timer1, &QTimer::timeout, &TForm1::Timer1Timer);
    // A choice from the list, and typing into the box.
    wire(ComboBox1, &QComboBox::activated, &TForm1::ComboBox1Change);
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        platform::Guarded([this, &text] { ComboBox1TextEdited(text); });
    });
    StatusBar1->OnDrawPanel = [this](QPainter& canvas, int panel, const QRect& rect) {
        platform::Guarded([&] { StatusBar1DrawPanel(canvas, panel, rect); });
    };
    connect(StatusBar1, &TStatusBar::Resized, this, [this] { platform::Guarded([this] { FormResize(); }); });
}

// --- events ----------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (event->spontaneous())
        return;
    activatedSinceShow_ = false;
    if (shown_)
        return;
    shown_ = true;
    platform::Guarded([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (Busy()) {
        // A command is running and pumping messages: close once it ends.
        closePending_ = true;
        event->ignore();
        return;
    }
    platform::Guarded([this] { FormClose(); });
    event->accept();
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    platform::Guarded([this] { FormResize(); });
}

void TForm1::FocusWindowChanged(QWindow* now)
{
    QWindow* previous = lastFocus_;
    lastFocus_ = now;
    if (!now || now != windowHandle())
        return;
    QWidget* previousWidget = nullptr;
    if (previous) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->windowHandle() == previous) {
                previousWidget = w;
                break;
            }
        }
    }
    WindowActivated(previousWidget);
}

void TForm1::WindowActivated(QWidget* previous)
{
    if (!shown_)
        return;
    const bool first = !activatedSinceShow_;
    activatedSinceShow_ = true;
    // Coming back from our own boxes, file dialogs or another application
    // does not probe; coming back from one of our forms does.
    const bool fromOwnForm = previous && previous != this && previous->property("qv750Form").toBool();
    if (first || fromOwnForm)
        FormActivate();
}

void TForm1::FormActivate() { CheckProgrammer(); }

void TForm1::DeviceChanged() { CheckProgrammer(); }

void TForm1::FormResize()
{
    if (!Progress || !StatusBar1)
        return;
    Progress->setGeometry(317, Progress->y(), StatusBar1->width() - 315, Progress->height());
}

void TForm1::FormClose()
{
    if (!Ini)
        return;
    SaveSettings(*Ini);
    const bool written = WriteSettingsFile(*Ini);
    const QString fileName = Ini->FileName();
    delete Ini;
    Ini = nullptr;
    if (!written)
        ShowError(QStringLiteral("无法保存设置文件 ") + fileName);
}

void TForm1::Timer1Timer() { Timer1->stop(); }

void TForm1::Update1Click() {}

void TForm1::BitBtn5Click() { close(); }

void TForm1::N11Click()
{
    const QString text = QStringLiteral("%1 %2\n\n编译时间 : %3 , %4\n\n")
                             .arg(QStringLiteral("Travik "), QStringLiteral("(Ver 1.0)"),
                                  QStringLiteral("10:20:14"), QStringLiteral("May 17 2014"))
                         + QStringLiteral("QV750 USB 高速编程器控制程序\n\n支持 SPI Flash 与 24 系列 EEPROM\n");
    platform::MessageBox(text, QStringLiteral("关于"), platform::MsgIcon::Information);
}

// --- status bar and log ----------------------------------------------------

void TForm1::StatusBar1DrawPanel(QPainter& canvas, int panel, const QRect& rect)
{
    // Clear brush: the panel's own background shows through.
    canvas.setBrush(Qt::NoBrush);
    canvas.setPen(Qt::red);
    const int x = (rect.left() + rect.right() + 1) / 2 - 120;
    const int y = rect.top() + 1;
    canvas.drawText(QPoint(x, y + canvas.fontMetrics().ascent()), StatusBar1->PanelText(panel));
}

void TForm1::SetStatusPanel(int index, const QString& text) { StatusBar1->SetPanelText(index, text); }

QString TForm1::StatusPanel(int index) const { return StatusBar1->PanelText(index); }

void TForm1::ShowError(const QString& text)
{
    platform::MessageBox(text, QStringLiteral("Error"), platform::MsgIcon::Error, platform::MsgButtons::Ok);
}

void TForm1::AddLogLine(const QString& text) { RichEdit1->Insert(0, text); }

void TForm1::AddLogCompleted(const QString& text)
{
    AddLogLine(text + QStringLiteral(" (") + platform::NowText() + u')');
}

QStringList TForm1::LogLines() const { return RichEdit1->Lines(); }

void TForm1::ShowElapsedTime()
{
    // FormatDateTime("hh:mm:ss") of a time difference: hours wrap at a day.
    const std::int64_t ms = std::max<std::int64_t>(0, EndTime - StartTime);
    const std::int64_t seconds = ms / 1000;
    SetStatusPanel(3, QString::asprintf("%02d:%02d:%02d", static_cast<int>((seconds / 3600) % 24),
                                        static_cast<int>((seconds / 60) % 60), static_cast<int>(seconds % 60)));
}
