#pragma once
// The control owns the clipboard already while Qt tells of its copy, and a
// host that copies again from that notification owns the newer copy. Shared by
// the offscreen clipboard tests and those against a real X server.
#include "hexeditor/ex/wqhexeditorex.h"
#include "platform/streams.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QList>
#include <functional>
#include <gtest/gtest.h>

// ReadOut reads the clipboard's text the way another program would.
inline void ExpectOwnedDuringTheChangeNotification(const std::function<QString()>& ReadOut)
{
    TWQHexEditorEx ed;
    ed.resize(600, 400);
    platform::TMemoryStream s;
    s.Write("0123456789", 10);
    s.SetPosition(0);
    ed.LoadFromStream(s);
    ed.SetSelStart(2);
    ed.SetSelEnd(4);

    QClipboard* cb = QGuiApplication::clipboard();
    QList<bool> owned;
    QStringList text;
    const QMetaObject::Connection slot = QObject::connect(cb, &QClipboard::dataChanged, [&] {
        owned << ed.OwnsClipBoard();
        text << cb->text();
        if (owned.size() == 1) {
            ed.SetSelStart(6);
            ed.SetSelEnd(7);
            ed.CBCopy();
        }
    });
    const bool copied = ed.CBCopy();
    QObject::disconnect(slot);

    EXPECT_TRUE(copied);
    EXPECT_EQ(owned, (QList<bool>{true, true}));
    EXPECT_EQ(text, (QStringList{QStringLiteral("234"), QStringLiteral("67")}));
    EXPECT_TRUE(ed.OwnsClipBoard()) << "the clipboard holds the newer copy";
    EXPECT_EQ(ReadOut(), QStringLiteral("67"));
    ed.ReleaseClipboard(false);
    EXPECT_TRUE(ReadOut().isEmpty()) << "release empties what the control owns";
}
