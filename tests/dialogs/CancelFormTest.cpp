// The progress window stays above other programs for the whole of a run.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include "dialogs/CancelForm.h"

using namespace dialogs;

namespace {

bool OnTop(const CancelForm& c) {
    const QWindow* w = c.windowHandle();
    return c.windowFlags().testFlag(Qt::WindowStaysOnTopHint) && w &&
           w->flags().testFlag(Qt::WindowStaysOnTopHint);
}

TEST(CancelFormOnTop, EveryShownRunIsAboveOtherPrograms) {
    QWidget owner;
    owner.setGeometry(50, 50, 500, 300);
    owner.show();
    CancelForm& c = ProgressWindow();
    const struct {
        const char* caption;
        const char* title;
        bool away;
    } runs[] = {
        {"FOLDEX 削除", "削除中", true},
        {"FOLDEX 印刷", "印刷中", false},
        {"FOLDEX 移動", "移動中", true},
    };
    for (const auto& r : runs) {
        c.Begin(QString::fromUtf8(r.caption), QString::fromUtf8(r.title), r.away, &owner);
        EXPECT_TRUE(c.isVisible()) << r.caption;
        EXPECT_TRUE(OnTop(c)) << r.caption;
        // A second Begin during the same run (a new title) keeps it shown and on top.
        c.Begin(QString::fromUtf8(r.caption), QStringLiteral("次"), r.away, &owner);
        EXPECT_TRUE(c.isVisible()) << r.caption;
        EXPECT_TRUE(OnTop(c)) << r.caption;
        EXPECT_TRUE(owner.isEnabled()) << r.caption;
        if (r.away) {
            c.End();
            EXPECT_FALSE(c.EndCode);
        } else {
            QTest::mouseClick(c.stopButton(), Qt::LeftButton);
            EXPECT_TRUE(c.EndCode);
        }
        EXPECT_FALSE(c.isVisible()) << r.caption;
    }
}

}  // namespace
