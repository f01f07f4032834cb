#include "app/logview.h"

#include <algorithm>

TLogView::TLogView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void TLogView::Insert(int index, const QString& line)
{
    index = std::clamp(index, 0, Count());
    // A line break inside the text would split it into several lines.
    const QStringList parts = QString(line).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n');
    for (qsizetype i = parts.size() - 1; i >= 0; --i)
        lines_.insert(index, parts[i]);
    Refresh();
}

void TLogView::Clear()
{
    lines_.clear();
    Refresh();
}

bool TLogView::NewestLineIs(const QString& line) const
{
    return !lines_.isEmpty() && lines_.constFirst().compare(line, Qt::CaseInsensitive) == 0;
}

void TLogView::Refresh()
{
    setPlainText(lines_.join(u'\n'));
    moveCursor(QTextCursor::Start);
}
