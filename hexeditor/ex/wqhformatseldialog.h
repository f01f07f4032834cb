#pragma once
// The dialog that lets the user pick one of several offered clipboard or drop
// formats, and the format choice around it.
#include "hexeditor/ex/wqholeimport.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QListWidget;
class QPushButton;

class TFormatSelDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFormatSelDialog(QWidget* owner = nullptr);

    QPushButton* LbtnOK;
    QPushButton* LbtnCancel;
    QListWidget* LlbxFormats;
    QCheckBox* LcbxTextAsHex;

    // Adds an entry carrying its format id; the first one enables OK.
    void AddFormat(const QString& Caption, TClipFormat cfFormat);
    // The id of the selected entry, or -1.
    int SelectedFormat() const;
    void SelectFormat(int cfFormat);

    void LlbxFormatsClick();
    void LlbxFormatsDblClick();
};

// Runs a dialog modally and answers its result (QDialog::Accepted or
// Rejected). Tests replace it to press OK or Cancel without an event loop.
using TWQHModalRunner = std::function<int(QDialog&)>;
void SetFormatSelDialogRunner(TWQHModalRunner Runner); // empty: exec()

// Name of a registered format (empty when unknown).
using TWQHFormatNamer = std::function<QString(TClipFormat)>;

// The dialog's caption for one format.
QString FormatCaption(TClipFormat cfFormat, const TWQHFormatNamer& Namer);

// Last format chosen in the dialog by any control; -1 at first.
int LastSelectedFormat();
void SetLastSelectedFormat(int cfFormat);

// Shows the dialog for Formats; on OK the chosen format goes to cfFormat and,
// for the 8-bit text formats, the check box's state to TextAsHex.
bool ShowFormatSelDialog(const wqhimport::TClipFormats& Formats, TClipFormat& cfFormat, bool& TextAsHex,
                         const TWQHFormatNamer& Namer);

// None offered: false. One: that one. Several: the dialog decides.
bool ChooseOLEFormat(const wqhimport::TClipFormats& Accepted, const wqhimport::TClipFormats& Offered,
                     bool& TextAsHex, TClipFormat& cfFormat, const TWQHFormatNamer& Namer);
