// Bookmarks and properties as text.
#include "hexeditor/ex/wqhexeditorex.h"
#include "hexeditor/ex/wqhbookmarktext.h"
#include "hexeditor/ex/wqhproptable.h"
#include "hexeditor/ex/wqhproptext.h"

struct WQHExText {
    using E = TWQHexEditorEx;

    // The control's published properties in the order it declares them:
    //   CreateBackup, BackupExtension, OleDragDrop, ClipboardAsHexText,
    //   FlushClipboardAtShutDown, SupportsOtherClipFormats,
    //   PrintFont.* (Charset, Color, Name, Size, Style), UseEditorFontForPrinting,
    //   ZoomOnWheel, PrintOptions.* (MarginLeft, MarginTop, MarginRight,
    //   MarginBottom, PageHeader, PageFooter, Flags),
    // then those of the core control (see WQHAddCoreProps), then Font.*.
    // OffsetPopupMenu and OnQueryPublicProperty have no value line.
    static TWQHPropTable Table(E& e)
    {
        TWQHPropTable t;
        auto flag = [&](const char* Name, bool (E::*Get)() const, void (E::*Set)(bool)) {
            TWQHPropDef d;
            d.Name = QString::fromLatin1(Name);
            d.Kind = TWQHPropKind::Boolean;
            d.GetOrd = [&e, Get] { return std::int64_t((e.*Get)() ? 1 : 0); };
            d.SetOrd = [&e, Set](std::int64_t v) { (e.*Set)(v != 0); };
            t.push_back(std::move(d));
        };
        auto text = [&](const char* Name, std::function<QString()> Get, std::function<void(const QString&)> Set) {
            TWQHPropDef d;
            d.Name = QString::fromLatin1(Name);
            d.Kind = TWQHPropKind::String;
            d.GetStr = std::move(Get);
            d.SetStr = std::move(Set);
            t.push_back(std::move(d));
        };
        auto integer = [&](const char* Name, std::function<std::int64_t()> Get, std::function<void(std::int64_t)> Set) {
            TWQHPropDef d;
            d.Name = QString::fromLatin1(Name);
            d.Kind = TWQHPropKind::Integer;
            d.GetOrd = std::move(Get);
            d.SetOrd = std::move(Set);
            t.push_back(std::move(d));
        };

        flag("CreateBackup", &E::CreateBackup, &E::SetCreateBackup);
        text("BackupExtension", [&e] { return e.BackupExtension(); },
             [&e](const QString& v) { e.SetBackupExtension(v); });
        flag("OleDragDrop", &E::OleDragDrop, &E::SetOleDragDrop);
        flag("ClipboardAsHexText", &E::ClipboardAsHexText, &E::SetClipboardAsHexText);
        flag("FlushClipboardAtShutDown", &E::FlushClipboardAtShutDown, &E::SetFlushClipboardAtShutDown);
        flag("SupportsOtherClipFormats", &E::SupportsOtherClipFormats, &E::SetSupportsOtherClipFormats);
        // The nested font is changed in place: unlike assigning PrintFont as a
        // whole, that leaves UseEditorFontForPrinting alone.
        WQHAddFontProps(t, QStringLiteral("PrintFont."), [&e] { return *e.FPrintFont; },
                        [&e](const TWQHFont& f) { *e.FPrintFont = f; });
        flag("UseEditorFontForPrinting", &E::UseEditorFontForPrinting, &E::SetUseEditorFontForPrinting);
        flag("ZoomOnWheel", &E::ZoomOnWheel, &E::SetZoomOnWheel);
        TWQHPrintOptions& po = *e.FPrintOptions;
        for (int i = 1; i <= 4; ++i) {
            static const char* const names[] = {"PrintOptions.MarginLeft", "PrintOptions.MarginTop",
                                                "PrintOptions.MarginRight", "PrintOptions.MarginBottom"};
            integer(names[i - 1], [&po, i] { return std::int64_t(po.GetMargin(i)); },
                    [&po, i](std::int64_t v) { po.SetMargin(i, static_cast<int>(v)); });
        }
        text("PrintOptions.PageHeader", [&po] { return po.PageHeader(); },
             [&po](const QString& v) { po.SetPageHeader(v); });
        text("PrintOptions.PageFooter", [&po] { return po.PageFooter(); },
             [&po](const QString& v) { po.SetPageFooter(v); });
        {
            TWQHPropDef d;
            d.Name = QStringLiteral("PrintOptions.Flags");
            d.Kind = TWQHPropKind::Set;
            d.Names = {QStringLiteral("pfSelectionOnly"),      QStringLiteral("pfSelectionBold"),
                       QStringLiteral("pfMonochrome"),         QStringLiteral("pfUseBackgroundColor"),
                       QStringLiteral("pfCurrentViewOnly"),    QStringLiteral("pfIncludeRuler")};
            d.GetOrd = [&po] { return std::int64_t(po.Flags()); };
            d.SetOrd = [&po](std::int64_t v) { po.SetFlags(static_cast<TWQHPrintFlags>(v)); };
            t.push_back(std::move(d));
        }

        WQHAddCoreProps(t, e);

        WQHAddFontProps(
            t, QStringLiteral("Font."), [&e] { return EditorFont(e); },
            [&e](const TWQHFont& f) {
                const TWQHFont now = EditorFont(e);
                e.SetFontColor(f.Color);
                e.FFontCharset = f.Charset;
                // Only a change of the font itself goes through the relayout.
                if (now.Name != f.Name || now.Height != f.Height || now.Style != f.Style) {
                    e.SetEditorFont(f.ToQFont());
                    e.FFontAsGiven = f;
                    e.FFontGivenAs = e.font();
                }
            });
        return t;
    }

    // The editor font as the text shows it: the widget font, or what the text
    // gave while the widget still has the font made of it.
    static TWQHFont EditorFont(const E& e)
    {
        TWQHFont f = TWQHFont::FromQFont(e.font(), e.FontColor());
        if (e.FFontAsGiven && e.font() == e.FFontGivenAs) {
            f.Name = e.FFontAsGiven->Name;
            f.Height = e.FFontAsGiven->Height;
        }
        f.Charset = e.FFontCharset;
        return f;
    }

    struct Suspended {
        E& e;
        explicit Suspended(E& x) : e(x) { e.BeginUpdate(); }
        ~Suspended() { e.EndUpdate(); }
    };
};

QString TWQHexEditorEx::GetBookmarksAsString()
{
    return WQHBookmarksToText(Bookmarks());
}

void TWQHexEditorEx::SetBookMarksAsString(const QString& Value)
{
    TWQHBookmarks cleared;
    for (TWQHBookmark& b : cleared)
        b.mInCharField = InCharField();
    BeginUpdate();
    FBookmarksNoChange = true;
    // Held back while reading; one notification at the end, also after an error.
    const auto finish = [this] {
        EndUpdate();
        FBookmarksNoChange = false;
        BookmarkChanged();
    };
    try {
        SetBookmarks(cleared);
        // A record equal to the slot's value is skipped: setting it again
        // would toggle the bookmark off.
        WQHReadBookmarksText(Value, [this](int i, const TWQHBookmark& b) {
            if (!(GetBookmark(static_cast<std::uint8_t>(i)) == b))
                SetBookmark(static_cast<std::uint8_t>(i), b);
        });
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

QString TWQHexEditorEx::GetPropertiesAsString()
{
    return WQHPropertiesToText(WQHExText::Table(*this), [this](const QString& n) { return IsPropPublic(n); });
}

void TWQHexEditorEx::SetPropertiesAsString(const QString& Value)
{
    WQHExText::Suspended hold(*this);
    WQHApplyPropertiesText(Value, WQHExText::Table(*this), [this](const QString& n) { return IsPropPublic(n); });
}

bool TWQHexEditorEx::IsPropPublic(const QString& PropName)
{
    if (!WQHIsListedProperty(PropName))
        return false;
    bool isPublic = true;
    if (FOnQueryPublicProperty)
        FOnQueryPublicProperty(this, PropName, isPublic);
    return isPublic;
}
