#pragma once

#include <QtGui/qwindowdefs.h>
#include <QRect>
#include <QString>
#include <optional>

// The dialog's few calls that differ between Windows and the rest: whether a
// native window exists, and the help viewer.
namespace thp::gui::platform {

// Whether id names an existing native window. Qt's foreign windows cannot
// tell: on X11 a wrapper for any id is returned and reparenting into a missing
// window fails silently. True where the platform offers no check.
bool nativeWindowExists(WId id);

// A native window's rectangle on the screen; empty when it cannot be told.
// Qt knows no foreign window's size, so dialogs are centred over the caller's
// window by this.
QRect nativeWindowFrame(WId id);

// Opens an HTML Help file: the topic of context when given, else its table of
// contents; owner is the window the viewer belongs to. Returns false, with a
// message for the user, when no viewer could be started.
bool showHelp(const QString& file, std::optional<int> context, WId owner, QString& failure);

}  // namespace thp::gui::platform
