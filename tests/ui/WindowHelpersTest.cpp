#include "MainWindowFixture.h"
#include "support/QtPrinters.h"
#include "ui/BrowserUtil.h"
#include "ui/ComboTrackBar.h"
#include "ui/GuiUtil.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

TEST(WindowHelpers, EnsureMinClientSizeGrowsOnlyWhatIsTooSmall)
{
    struct Case {
        QSize before;
        QSize after;
    };
    const Case cases[] = {
        { { 800, 700 }, { 800, 700 } },
        { { 500, 700 }, { 733, 700 } },
        { { 800, 300 }, { 800, 618 } },
        { { 100, 100 }, { 733, 618 } },
        { { 733, 618 }, { 733, 618 } },
    };
    for (const Case& c : cases) {
        QWidget w;
        w.resize(c.before);
        EnsureMinClientSize(&w, 733, 618);
        EXPECT_EQ(w.size(), c.after) << c.before.width() << "x" << c.before.height();
    }
}

TEST(WindowHelpers, CentredPositionTruncatesTowardZero)
{
    EXPECT_EQ(centeredTopLeft(QRect(0, 0, 1920, 1080), QSize(1001, 600)), QPoint(459, 240));
    // A window 201 pixels larger than the screen stands 100 to the left (not 101).
    EXPECT_EQ(centeredTopLeft(QRect(0, 0, 800, 600), QSize(1001, 600)), QPoint(-100, 0));
    // A second screen's own origin counts.
    EXPECT_EQ(centeredTopLeft(QRect(1920, 0, 1280, 1024), QSize(280, 24)), QPoint(2420, 500));
}

TEST(WindowHelpers, PopupMenuOpensBelowTheButtonInNestedLayouts)
{
    QWidget window;
    auto* outer = new QVBoxLayout(&window);
    auto* inner = new QWidget(&window);
    auto* row = new QHBoxLayout(inner);
    row->setContentsMargins(17, 9, 0, 0);
    row->addStretch();
    auto* button = new QPushButton(QStringLiteral("Export"), inner);
    row->addWidget(button);
    outer->addStretch();
    outer->addWidget(inner);
    window.resize(300, 200);
    window.move(40, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QMenu menu;
    menu.addAction(QStringLiteral("Export results as txt file"));
    PopupMenuBelowButton(button, &menu);
    ASSERT_TRUE(menu.isVisible());
    const QPoint first = menu.pos();
    EXPECT_EQ(first, button->mapToGlobal(QPoint(0, button->height())));
    menu.hide();

    // After the window has moved the menu follows it.
    window.move(90, 60);
    ASSERT_TRUE(
        waitFor([&] { return button->mapToGlobal(QPoint()) != first - QPoint(0, button->height()); }, 5000));
    PopupMenuBelowButton(button, &menu);
    EXPECT_EQ(menu.pos(), first + QPoint(50, 30));
    menu.hide();
}

TEST(WindowHelpers, SupportLinkWithBlanksReachesTheOpener)
{
    QList<QUrl> opened;
    setUrlOpener([&](const QUrl& u) {
        opened.append(u);
        return true;
    });
    EXPECT_TRUE(
        OpenWithShell(QStringLiteral("mailto:help@x.example?subject=Morvantis Glimmerpick support request")));
    setUrlOpener(nullptr);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(
        opened[0].query(QUrl::FullyDecoded), QStringLiteral("subject=Morvantis Glimmerpick support request"));
}

// The numeric boxes: the range set up as the window does, typed commits, the slider.
TEST(ComboTrackBar, RaisingTheMinimumPullsTheValueUpAndRaisesChange)
{
    ComboTrackBar box;
    EXPECT_EQ(box.text(), QStringLiteral("0"));
    QSignalSpy changes(&box, &ComboTrackBar::Change);
    box.setMinimum(7);
    box.setMaximum(56);
    box.setFrequency(7);
    EXPECT_EQ(box.text(), QStringLiteral("7"));
    EXPECT_EQ(changes.size(), 1);

    // The slider snaps to multiples of the frequency and stays in the range.
    box.slider()->setValue(30);
    EXPECT_EQ(box.value(), 28);
    box.slider()->setValue(60);
    EXPECT_EQ(box.value(), 56);
    EXPECT_EQ(changes.size(), 3);

    // A maximum below the minimum is raised to it.
    ComboTrackBar single;
    single.setMinimum(64);
    single.setMaximum(0);
    EXPECT_EQ(single.maximum(), 64);
    EXPECT_EQ(single.value(), 64);
}

TEST(ComboTrackBar, TypedTextIsCommittedWithEnter)
{
    ComboTrackBar box;
    box.setTypingAllowed(true);
    box.setMinimum(3);
    box.setMaximum(30);
    QSignalSpy changes(&box, &ComboTrackBar::Change);
    const auto type = [&](const QString& text) {
        box.selectAll();
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClicks(&box, text);
        QTest::keyClick(&box, Qt::Key_Return);
        return box.text();
    };
    EXPECT_EQ(type(QStringLiteral("45")), QStringLiteral("30"));
    EXPECT_EQ(type(QStringLiteral("1")), QStringLiteral("3"));
    EXPECT_EQ(changes.size(), 2);
    // Letters cannot be typed at all; an empty box brings the value back without a change.
    EXPECT_EQ(type(QStringLiteral("x")), QStringLiteral("3"));
    EXPECT_EQ(type(QString()), QStringLiteral("3"));
    EXPECT_EQ(changes.size(), 2);
    EXPECT_EQ(type(QStringLiteral("10.5")), QStringLiteral("10.5"));
    EXPECT_EQ(box.value(), 3);
    EXPECT_EQ(changes.size(), 3);
    QTest::keyClick(&box, Qt::Key_Up);
    EXPECT_EQ(box.text(), QStringLiteral("4"));

    // A box without typing takes no focus, so only its slider changes it.
    ComboTrackBar threads;
    threads.setTypingAllowed(false);
    EXPECT_EQ(threads.focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(threads.isReadOnly());
}

TEST(ComboTrackBar, LeavingTheBoxCommitsToo)
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* box = new ComboTrackBar(&window);
    auto* other = new QLineEdit(&window);
    layout->addWidget(box);
    layout->addWidget(other);
    box->setTypingAllowed(true);
    box->setMinimum(3);
    box->setMaximum(30);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    box->setFocus();
    ASSERT_TRUE(waitFor([&] { return box->hasFocus(); }, 5000));
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, QStringLiteral("45"));
    other->setFocus();
    ASSERT_TRUE(waitFor([&] { return other->hasFocus(); }, 5000));
    EXPECT_EQ(box->text(), QStringLiteral("30"));

    // Emptied and left: the previous value comes back.
    box->setFocus();
    ASSERT_TRUE(waitFor([&] { return box->hasFocus(); }, 5000));
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    other->setFocus();
    ASSERT_TRUE(waitFor([&] { return other->hasFocus(); }, 5000));
    EXPECT_EQ(box->text(), QStringLiteral("30"));
    EXPECT_EQ(box->value(), 30);
}
