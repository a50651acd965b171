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

    // Pasted text passes no filter either.
    QApplication::clipboard()->setText("x.y");
    number->selectAll();
    QTest::keyClick(number, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(number->text(), "x.y");
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
    QCoreApplication::processEvents();
    EXPECT_EQ(window.modified, 0); // an address field posts no notification
}

TEST(EditFields, PastedAndProgramTextIsCorrectedByTheNextKeyOrOnLeaving)
{
    CCountingWindow window;
    auto* port = new CPortEdit(&window);
    auto* ip = new CIPEdit(&window);
    ShowActive(&window);

    // A pasted number far beyond the range stays as pasted until the next typed key.
    QApplication::clipboard()->setText("999999999999999999");
    port->setFocus();
    QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(port->text(), "999999999999999999");
    QTest::keyClick(port, Qt::Key_9);
    EXPECT_EQ(port->text(), "65535");
    port->setText("");
    QApplication::clipboard()->setText("99999999999999999999");
    QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(port->text(), "65535");

    // An address the program gives with a doubled dot at its end is completed on leaving.
    ip->setText("10..");
    TypeAndLeave(ip, port, "");
    EXPECT_EQ(ip->text(), "10.0.0.0");
}
