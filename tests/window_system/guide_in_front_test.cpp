// The guide's window as the window system gets it: a dialog transient for the
// main window (WM_TRANSIENT_FOR), which a window manager keeps in front of
// that window, also of a main window that stays on top of the others.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "guide_window.h"
#include "main_window.h"
#include "port/link_host.h"
#include "scripted_dialogs.h"

namespace vemtaro::app {
namespace {

using Reply = std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)>;

Reply Property(xcb_connection_t* c, const QWidget* window, xcb_atom_t property, xcb_atom_t type) {
  const xcb_get_property_cookie_t cookie =
      xcb_get_property(c, 0, static_cast<xcb_window_t>(window->winId()), property, type, 0, 64);
  return Reply(xcb_get_property_reply(c, cookie, nullptr), &std::free);
}

bool Exposed(QWidget* w) {
  return port::RunEventsUntil([w] { return w->windowHandle() != nullptr && w->windowHandle()->isExposed(); }, 5000);
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
  const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(xcb_intern_atom_reply(c, cookie, nullptr),
                                                                       &std::free);
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

TEST(GuideInFront, IsADialogTransientForTheMainWindow) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  ASSERT_NE(x11, nullptr);
  xcb_connection_t* c = x11->connection();
  testing::ScriptedDialogs scripted;
  testing::MemoryFiles files;
  TForm1 main(scripted, files);
  main.FormShow();
  main.show();
  ASSERT_TRUE(Exposed(&main));
  main.Guide->trigger();
  GuideWindow* guide = main.HelpWindow;
  ASSERT_NE(guide, nullptr);
  ASSERT_TRUE(Exposed(guide));

  const Reply transient = Property(c, guide, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW);
  ASSERT_TRUE(transient);
  ASSERT_EQ(xcb_get_property_value_length(transient.get()), 4);
  EXPECT_EQ(*static_cast<const xcb_window_t*>(xcb_get_property_value(transient.get())),
            static_cast<xcb_window_t>(main.winId()));

  const Reply type = Property(c, guide, Atom(c, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM);
  ASSERT_TRUE(type);
  ASSERT_GE(xcb_get_property_value_length(type.get()), 4);
  EXPECT_EQ(*static_cast<const xcb_atom_t*>(xcb_get_property_value(type.get())), Atom(c, "_NET_WM_WINDOW_TYPE_DIALOG"));
  EXPECT_FALSE(guide->isModal());
  guide->hide();
}

}  // namespace
}  // namespace vemtaro::app
