#pragma once

#include <QEvent>

class QWidget;

// The messages that pages and fields send to the main window and to their frames. The
// numbers are those the gateway's tools have always used; in Qt each travels as an event of
// type QEvent::User + number.
inline constexpr int WM_CONFIG_MODIFIED = 0x0500;    // a page's field changed
inline constexpr int WM_CONFIG_RELOAD = 0x0501;      // read the document again from its file
inline constexpr int WM_REPEATER_EDIT_MODE = 0x1401; // the repeater page's edit mode began or ended

// The event type that carries a message.
constexpr QEvent::Type MessageEventType(int message)
{
    return static_cast<QEvent::Type>(QEvent::User + message);
}

// Posts a message to a window: it is handled later by the window's event loop, as
// PostMessage does.
void PostWindowMessage(QWidget* target, int message);

// Sends a message to a window: handled at once, as SendMessage does. Returns whether the
// window accepted it.
bool SendWindowMessage(QWidget* target, int message);

// Posts WM_CONFIG_MODIFIED to the main window of a page or field (its top-level window).
void PostConfigModified(QWidget* from);
