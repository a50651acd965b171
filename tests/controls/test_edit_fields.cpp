#include "controls/IPEdit.h"
#include "controls/NumEdit.h"
#include "controls/PortEdit.h"
#include "ui/WindowMessages.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

// A top-level window that counts the change notifications its fields post.
class CCountingWindow : public QDialog
{
public:
    bool event(QEvent* event) override
    {
        if (event->type() == MessageEventType(WM_CONFIG_MODIFIED))
        {
            ++modified;
            return true;
        }
        return QDialog::event(event);
    }
    int modified = 0;
};

// Shows a window and makes it the active one, so that fields can take and lose the focus.
void ShowActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

// Types into a field, then moves the focus away, as a user leaving it.
void TypeAndLeave(QLineEdit* field, QWidget* other, const QString& keys)
{
    field->setFocus();
    QTest::keyClicks(field, keys);
    other->setFocus();
    QCoreApplication::processEvents();
}

} // namespace

TEST(EditFields, PortFieldsStayWithinRangeAndNotify)
{
    CCountingWindow window;
    auto* port = new CPortEdit(&window);
    auto* other = new CPortEdit(&window);
    ShowActive(&window);

    port->setFocus();
    QTest::keyClicks(port, "7x0-000");
    EXPECT_EQ(port->text(), "65535");
    EXPECT_EQ(port->cursorPosition(), 5);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.modified, 5); // one per accepted key, none for the dropped ones
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(port->text(), "6553");

    // With a default, leaving the field empty fills it in.
    other->SetDefault(true, 0);
    TypeAndLeave(other, port, "");
    EXPECT_EQ(other->text(), "0");

    // Text set by the program passes no filter.
    port->setText("abc");
    EXPECT_EQ(port->text(), "abc");
}

TEST(EditFields, NumberFieldsTakeOneDecimalPoint)
{
    CCountingWindow window;
    auto* number = new CNumEdit(&window);
    ShowActive(&window);
    number->setFocus();
    QTest::keyClicks(number, "1.5.2");
    EXPECT_EQ(number->text(), "1.52");
    number->clear();
    number->SetDecimalPoint(false);
    number->SetNotify(false);
    QTest::keyClicks(number, "1.5");
    EXPECT_EQ(number->text(), "15");
    QCoreApplication::processEvents();
    EXPECT_EQ(window.modified, 4); // only while notifying

    // Pasted text goes through the same filter as typing.
    QApplication::clipboard()->setText("x1.y5\n");
    number->selectAll();
    QTest::keyClick(number, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(number->text(), "15");
}

TEST(EditFields, AddressFieldsShapeWhatIsTyped)
{
    CCountingWindow window;
    auto* ip = new CIPEdit(&window);
    auto* other = new CIPEdit(&window);
    ShowActive(&window);

    TypeAndLeave(ip, other, "300");
    EXPECT_EQ(ip->text(), "255.0.0.0"); // 300 became 255, then completed on leaving
    ip->clear();
    TypeAndLeave(ip, other, ".01..2.3.4.5");
    EXPECT_EQ(ip->text(), "1.2.3.45"); // a leading, a doubled and a fourth dot are dropped
    ip->clear();
    TypeAndLeave(ip, other, "");
    EXPECT_EQ(ip->text(), "127.0.0.1");
    ip->clear();
    TypeAndLeave(ip, other, "1.2.3.");
    EXPECT_EQ(ip->text(), "1.2.3.0");
    // A changed address is a pending change like any other: one notification per edit.
    QCoreApplication::processEvents();
    const int before = window.modified;
    TypeAndLeave(ip, other, "9");
    QCoreApplication::processEvents();
    EXPECT_EQ(window.modified, before + 1);
    ip->setText("1.1.1.1"); // the program's own text is no edit
    QCoreApplication::processEvents();
    EXPECT_EQ(window.modified, before + 1);
}

TEST(EditFields, PastedTextIsTypedThroughTheFilterAndProgramTextCorrectedLater)
{
    CCountingWindow window;
    auto* port = new CPortEdit(&window);
    auto* ip = new CIPEdit(&window);
    ShowActive(&window);

    // A paste is typed character by character: junk is dropped, the range kept, also for a
    // number of more digits than any integer holds.
    for (const char* pasted : {"99999x", "999999999999999999999"})
    {
        QApplication::clipboard()->setText(pasted);
        port->setFocus();
        port->selectAll();
        QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(port->text(), "65535") << pasted;
    }
    QApplication::clipboard()->setText("7x1");
    port->clear();
    QTest::keyClick(port, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(port->text(), "71");
    QApplication::clipboard()->setText(" 1.2..3.4.5x");
    ip->setFocus();
    QTest::keyClick(ip, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(ip->text(), "1.2.3.45");
    QCoreApplication::processEvents();
    EXPECT_GE(window.modified, 3); // every paste is an edit

    // Text the program sets passes no filter; the next typed key corrects it, without an
    // overflow for a number of twenty digits.
    port->setText("99999999999999999999");
    port->setFocus();
    port->end(false);
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(port->text(), "65535");

    // An address the program gives with a doubled dot at its end is completed on leaving.
    ip->setText("10..");
    TypeAndLeave(ip, port, "");
    EXPECT_EQ(ip->text(), "10.0.0.0");
}
