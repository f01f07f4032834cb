// The window's life: the destroy notification when the native window goes.
#include "ex_support.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class Ed : public TWQHexEditorEx {
public:
    using QWidget::destroy;
    int destroys = 0;
    int creates = 0;
    void WMDestroy() override
    {
        ++destroys;
        TWQHexEditorEx::WMDestroy();
    }
    void CreateWnd() override
    {
        ++creates;
        TWQHexEditorEx::CreateWnd();
    }
};

TEST(ExWindow, DestroyingTheNativeWindowNotifiesOnce)
{
    Ed ed;
    ed.resize(300, 200);
    ed.show();
    QApplication::processEvents();
    EXPECT_EQ(ed.creates, 1);
    EXPECT_TRUE(ed.HandleAllocated());
    ed.destroy();
    EXPECT_EQ(ed.destroys, 1);
    EXPECT_FALSE(ed.HandleAllocated());
    // A new window is created again, as its first one was.
    ed.hide();
    ed.show();
    QApplication::processEvents();
    EXPECT_EQ(ed.creates, 2);
    EXPECT_TRUE(ed.HandleAllocated());
}

TEST(ExWindow, AControlNeverShownGetsNoDestroyNotification)
{
    Ed ed;
    ed.destroy();
    EXPECT_EQ(ed.destroys, 0);
}

} // namespace
