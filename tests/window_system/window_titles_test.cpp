// The titles the window system gets for the program's windows and dialogs:
// exactly their captions, with nothing appended (read back from the X server,
// as a window manager reads them).
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "alarm_time_window.h"
#include "dial_window.h"
#include "main_window.h"
#include "progress_window.h"
#include "qt_dialogs.h"
#include "scripted_dialogs.h"
#include "status_chart.h"
#include "status_window.h"

namespace vemtaro::app {
namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(xcb_intern_atom_reply(c, cookie, nullptr),
                                                                       &std::free);
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The title the window manager reads: _NET_WM_NAME, as UTF-8.
std::string WindowSystemTitle(const QWidget* window) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr) return "(no X11)";
  xcb_connection_t* c = x11->connection();
  const xcb_get_property_cookie_t cookie = xcb_get_property(c, 0, static_cast<xcb_window_t>(window->winId()),
                                                            Atom(c, "_NET_WM_NAME"), Atom(c, "UTF8_STRING"), 0, 1024);
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(xcb_get_property_reply(c, cookie, nullptr),
                                                                        &std::free);
  if (!reply) return "(no reply)";
  const auto* text = static_cast<const char*>(xcb_get_property_value(reply.get()));
  return std::string(text, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
}

// The title of the next modal window once it is shown; then it is closed.
std::string TitleOfModal(const std::function<void()>& open) {
  std::string title = "(not shown)";
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    poll.stop();
    title = WindowSystemTitle(modal);
    modal->close();
  });
  poll.start(0);
  open();
  return title;
}

TEST(WindowTitles, AreExactlyTheCaptions) {
  testing::ScriptedDialogs scripted;
  testing::MemoryFiles files;
  TForm1 main(scripted, files);
  main.FormShow();
  main.show();
  QtDialogs dialogs(&main);
  struct Case {
    const char* caption;
    QWidget* window;  // shown as it is; otherwise a dialog that opens modally
    std::function<void()> open;
  };
  const Case cases[] = {
      {"Vemtaro 9.01.6", &main, {}},
      {"Работа с устройством", main.Form2, {}},
      {"Установите время...", main.Form4, {}},
      {"Управление", main.Form5, {}},
      {"График показаний", main.Form5->Chart, {}},
      {"Дозвон", main.Form6, {}},
      {"Введите текст сообщения (макс. 32 символа)", nullptr,
       [&] { dialogs.InputText("Введите текст сообщения (макс. 32 символа)", "", 32); }},
      {"Введите новое название", nullptr, [&] { dialogs.InputText("Введите новое название", "", 40); }},
      {"Тип соединения", nullptr, [&] { dialogs.ChooseConnectionType(); }},
      {"Сохранение настроек", nullptr, [&] { dialogs.AskSaveFileName(); }},
      {"Vemtaro", nullptr, [&] { dialogs.ShowMessage("Неправильно набран номер"); }},
      {"Vemtaro", nullptr, [&] { dialogs.AskSaveChanges(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    std::string title;
    if (c.window != nullptr) {
      c.window->show();
      QApplication::processEvents();
      EXPECT_EQ(c.window->windowTitle().toStdString(), c.caption);
      title = WindowSystemTitle(c.window);
      if (c.window != &main) c.window->hide();
    } else {
      title = TitleOfModal(c.open);
    }
    EXPECT_EQ(title, c.caption);
  }
}

}  // namespace
}  // namespace vemtaro::app
