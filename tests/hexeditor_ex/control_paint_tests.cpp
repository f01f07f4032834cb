// Paint suspension: the counter, and the frame that stays on screen while
// painting is suspended.
#include "ex_support.h"

#include <QApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace {

class Ed : public TWQHexEditorEx {
public:
    int paints = 0;
    void Paint() override
    {
        TWQHexEditorEx::Paint();
        if (PaintUpdateCounter() <= 0)
            ++paints;
    }
};

QImage Shot(TWQHexEditorEx& ed)
{
    return ed.viewport()->grab().toImage();
}

TEST(ExPaint, CounterNestsAndNeverGoesBelowZero)
{
    TWQHexEditorEx ed;
    EXPECT_EQ(ed.EndUpdate(), 0);
    EXPECT_EQ(ed.BeginUpdate(), 1);
    EXPECT_EQ(ed.BeginUpdate(), 2);
    EXPECT_EQ(ed.EndUpdate(), 1);
    EXPECT_EQ(ed.EndUpdate(), 0);
    EXPECT_EQ(ed.EndUpdate(), 0);
    EXPECT_EQ(ed.BeginUpdate(), 1) << "an extra EndUpdate left no debt";
}

TEST(ExPaint, SuspendedControlKeepsShowingTheLastFrame)
{
    Ed ed;
    ed.resize(600, 300);
    ed.show();
    Load(ed, Bytes(64, 0x11));
    QApplication::processEvents();
    const QImage before = Shot(ed);
    ed.BeginUpdate();
    ed.BeginUpdate();
    for (int i = 0; i < 64; ++i)
        Put(ed, i, 0xEE);
    const int paints = ed.paints;
    const QImage during = Shot(ed);
    EXPECT_EQ(during, before) << "no blank or half-drawn frame";
    EXPECT_EQ(ed.paints, paints) << "the control itself did not paint";
    ed.EndUpdate();
    EXPECT_EQ(Shot(ed), before) << "still suspended at 1";
    ed.EndUpdate();
    const QImage after = Shot(ed);
    EXPECT_NE(after, before) << "the new bytes show once painting resumes";
    EXPECT_GT(ed.paints, paints);
}

TEST(ExPaint, SuspendedGrowthFillsTheNewAreaWithTheBackground)
{
    TWQHexEditorEx ed;
    ed.resize(300, 200);
    ed.show();
    Load(ed, Bytes(64, 0x11));
    QApplication::processEvents();
    ed.BeginUpdate();
    ed.resize(500, 300);
    QApplication::processEvents();
    const QImage shot = Shot(ed);
    const QColor base = ed.viewport()->palette().color(QPalette::Base);
    EXPECT_EQ(shot.pixelColor(shot.width() - 2, shot.height() - 2), base);
    ed.EndUpdate();
}

} // namespace
