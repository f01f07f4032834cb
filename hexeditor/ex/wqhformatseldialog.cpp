#include "hexeditor/ex/wqhformatseldialog.h"
#include "hexeditor/ex/wqhexstrings.h"

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

using namespace wqhimport;

namespace {

TWQHModalRunner& Runner()
{
    static TWQHModalRunner runner;
    return runner;
}

int gLastSelectedFormat = -1;

// Sizes of the class library's default button and check box.
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kCheckHeight = 17;

struct StandardName {
    TClipFormat Id;
    const char* Name;
};

constexpr StandardName kStandardNames[] = {
    {CF_TEXT, wqhstr::FormatText},
    {CF_BITMAP, wqhstr::FormatBitmap},
    {CF_METAFILEPICT, wqhstr::FormatMetafilePict},
    {CF_TIFF, wqhstr::FormatTiff},
    {CF_OEMTEXT, wqhstr::FormatOemText},
    {CF_DIB, wqhstr::FormatDib},
    {CF_PALETTE, wqhstr::FormatPalette},
    {CF_RIFF, wqhstr::FormatRiff},
    {CF_WAVE, wqhstr::FormatWave},
    {CF_UNICODETEXT, wqhstr::FormatUnicodeText},
    {CF_ENHMETAFILE, wqhstr::FormatEnhMetafile},
    {CF_LOCALE, wqhstr::FormatLocale},
};

bool IsText8(int cf) { return cf == CF_TEXT || cf == CF_OEMTEXT; }

} // namespace

TFormatSelDialog::TFormatSelDialog(QWidget* owner)
    : QDialog(owner ? owner : QApplication::activeWindow())
{
    setWindowTitle(QString::fromLatin1(wqhstr::SelectDataFormat));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect();
    const int w = screen.width() / 4;
    const int h = screen.height() / 4;
    setFixedSize(w, h);
    const QWidget* centre = parentWidget();
    const QRect around = centre ? centre->frameGeometry() : screen;
    move(around.center().x() - w / 2, around.center().y() - h / 2);

    LbtnOK = new QPushButton(QStringLiteral("OK"), this);
    LbtnOK->setGeometry(16, h - kButtonHeight - 8, kButtonWidth, kButtonHeight);
    LbtnOK->setDefault(true);
    LbtnOK->setEnabled(false);
    connect(LbtnOK, &QPushButton::clicked, this, &QDialog::accept);

    LbtnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    LbtnCancel->setGeometry(w - kButtonWidth - 16, h - kButtonHeight - 8, kButtonWidth, kButtonHeight);
    connect(LbtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    LcbxTextAsHex = new QCheckBox(QString::fromLatin1(wqhstr::HexText), this);
    LcbxTextAsHex->setEnabled(false);
    LcbxTextAsHex->setGeometry(16, LbtnCancel->y() - kCheckHeight - 8, w - 16, kCheckHeight);

    LlbxFormats = new QListWidget(this);
    LlbxFormats->setGeometry(0, 0, w, h - kButtonHeight - kCheckHeight - 24);
    connect(LlbxFormats, &QListWidget::itemClicked, this, [this] { LlbxFormatsClick(); });
    connect(LlbxFormats, &QListWidget::currentRowChanged, this, [this] { LlbxFormatsClick(); });
    connect(LlbxFormats, &QListWidget::itemDoubleClicked, this, [this] { LlbxFormatsDblClick(); });
}

void TFormatSelDialog::AddFormat(const QString& caption, TClipFormat cf)
{
    auto* item = new QListWidgetItem(caption, LlbxFormats);
    item->setData(Qt::UserRole, int(cf));
    LbtnOK->setEnabled(true);
}

int TFormatSelDialog::SelectedFormat() const
{
    const QListWidgetItem* item = LlbxFormats->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : -1;
}

void TFormatSelDialog::SelectFormat(int cf)
{
    int row = 0;
    for (int i = 0; i < LlbxFormats->count(); ++i)
        if (LlbxFormats->item(i)->data(Qt::UserRole).toInt() == cf) {
            row = i;
            break;
        }
    if (LlbxFormats->count() > 0) {
        LlbxFormats->setCurrentRow(row);
        LlbxFormats->item(row)->setSelected(true);
    }
    LlbxFormatsClick();
}

void TFormatSelDialog::LlbxFormatsClick() { LcbxTextAsHex->setEnabled(IsText8(SelectedFormat())); }

void TFormatSelDialog::LlbxFormatsDblClick() { done(QDialog::Accepted); }

void SetFormatSelDialogRunner(TWQHModalRunner runner) { Runner() = std::move(runner); }

QString FormatCaption(TClipFormat cf, const TWQHFormatNamer& namer)
{
    for (const auto& s : kStandardNames)
        if (s.Id == cf)
            return QString::fromLatin1(s.Name);
    const QString name = namer ? namer(cf).trimmed() : QString();
    return name.isEmpty() ? QStringLiteral("(%1)").arg(cf) : name;
}

int LastSelectedFormat() { return gLastSelectedFormat; }
void SetLastSelectedFormat(int cf) { gLastSelectedFormat = cf; }

bool ShowFormatSelDialog(const TClipFormats& formats, TClipFormat& cf, bool& textAsHex, const TWQHFormatNamer& namer)
{
    TFormatSelDialog dialog;
    dialog.LcbxTextAsHex->setChecked(textAsHex);
    for (const auto f : formats)
        dialog.AddFormat(FormatCaption(f, namer), f);
    dialog.SelectFormat(gLastSelectedFormat);
    const int result = Runner() ? Runner()(dialog) : dialog.exec();
    const int chosen = dialog.SelectedFormat();
    if (result != QDialog::Accepted || chosen < 0)
        return false;
    cf = static_cast<TClipFormat>(chosen);
    if (IsText8(chosen))
        textAsHex = dialog.LcbxTextAsHex->isChecked();
    gLastSelectedFormat = chosen;
    return true;
}

bool ChooseOLEFormat(const TClipFormats& accepted, const TClipFormats& offered, bool& textAsHex, TClipFormat& cf,
                     const TWQHFormatNamer& namer)
{
    const TClipFormats found = OfferedInPriority(accepted, offered);
    if (found.empty())
        return false;
    if (found.size() == 1) {
        cf = found.front();
        return true;
    }
    return ShowFormatSelDialog(found, cf, textAsHex, namer);
}
