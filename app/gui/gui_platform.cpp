#include "app/gui/gui_platform.hpp"

#include <QDir>

#ifdef _WIN32
#include <windows.h>
// windows.h first: htmlhelp.h relies on its types.
#include <htmlhelp.h>
#else
#include <QGuiApplication>
#include <QProcess>
#ifdef THP_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif
#endif

namespace thp::gui::platform {

#ifdef _WIN32

bool nativeWindowExists(WId id) { return IsWindow(reinterpret_cast<HWND>(id)) != FALSE; }

QRect nativeWindowFrame(WId id) {
  RECT r;
  if (GetWindowRect(reinterpret_cast<HWND>(id), &r) == FALSE) return {};
  return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

bool showHelp(const QString& file, std::optional<int> context, WId owner, QString& failure) {
  const std::wstring path = QDir::toNativeSeparators(file).toStdWString();
  HWND viewer = context ? HtmlHelpW(reinterpret_cast<HWND>(owner), path.c_str(), HH_HELP_CONTEXT,
                                    static_cast<DWORD_PTR>(*context))
                        : HtmlHelpW(reinterpret_cast<HWND>(owner), path.c_str(), HH_DISPLAY_TOC, 0);
  if (viewer != nullptr) return true;
  failure =
      QStringLiteral("No se puede abrir la ayuda \"%1\".").arg(QDir::toNativeSeparators(file));
  return false;
}

#else

bool nativeWindowExists(WId id) {
#ifdef THP_HAVE_XCB
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) return false;
    xcb_connection_t* connection = x11->connection();
    const auto cookie = xcb_get_window_attributes(connection, static_cast<xcb_window_t>(id));
    xcb_generic_error_t* error = nullptr;
    xcb_get_window_attributes_reply_t* reply =
        xcb_get_window_attributes_reply(connection, cookie, &error);
    const bool exists = reply != nullptr;
    std::free(reply);
    std::free(error);
    return exists;
  }
#endif
  (void)id;
  return true;
}

QRect nativeWindowFrame(WId id) {
#ifdef THP_HAVE_XCB
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) return {};
    xcb_connection_t* connection = x11->connection();
    const auto window = static_cast<xcb_window_t>(id);
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), nullptr);
    if (geometry == nullptr) return {};
    xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, geometry->root, 0, 0), nullptr);
    QRect frame;
    if (origin != nullptr)
      frame = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    std::free(origin);
    std::free(geometry);
    return frame;
  }
#endif
  (void)id;
  return {};
}

// The desktop's generic openers report success for a .chm even when nothing
// can show it, so the viewer is started directly and its start is checked.
// xchm is the CHM viewer that opens a context topic.
bool showHelp(const QString& file, std::optional<int> context, WId, QString& failure) {
  QStringList arguments;
  if (context) arguments << QStringLiteral("--contextid=%1").arg(*context);
  arguments << file;
  if (QProcess::startDetached(QStringLiteral("xchm"), arguments)) return true;
  failure = QStringLiteral(
                "No se puede abrir la ayuda \"%1\": no hay instalado ningún visor de archivos "
                "CHM (por ejemplo, xchm).")
                .arg(QDir::toNativeSeparators(file));
  return false;
}

#endif

}  // namespace thp::gui::platform
