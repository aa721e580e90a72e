#include "gui_util.h"

#include <xcb/xcb.h>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <cstring>

namespace guitest {

namespace {

constexpr int kPollMs = 5;
// A modal dialog that does not appear within this time fails the test that waits for it.
constexpr int kModalTimeoutMs = 20000;

}  // namespace

void onModalWidget(const std::function<bool(QWidget*)>& match,
                   const std::function<void(QWidget*)>& action, bool* ran) {
    auto* timer = new QTimer(qApp);
    QElapsedTimer clock;
    clock.start();
    timer->setInterval(kPollMs);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, match, action, ran] {
        QWidget* modal = QApplication::activeModalWidget();
        bool found = modal && match(modal) && modal->isVisible();
        if (!found && clock.elapsed() < kModalTimeoutMs) return;
        timer->stop();
        timer->deleteLater();
        if (!found) return;
        if (ran) *ran = true;
        action(modal);
    });
    timer->start();
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) QTest::qWait(kPollMs);
    return done();
}

bool showAndExpose(QWidget* window) {
    window->show();
    if (!QTest::qWaitForWindowExposed(window)) return false;
    // There is no window manager to give the new window the keyboard focus.
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

QImage grabFromScreen(QWidget* widget) {
    QWidget* top = widget->window();
    // Let the X server finish drawing what was painted last.
    QApplication::processEvents();
    QApplication::sync();
    QPoint origin = widget->mapTo(top, QPoint(0, 0));
    QScreen* screen = top->windowHandle()->screen();
    QPixmap shot =
        screen->grabWindow(top->winId(), origin.x(), origin.y(), widget->width(), widget->height());
    return shot.toImage().convertToFormat(QImage::Format_RGB32);
}

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
    xcb_atom_t a = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    free(reply);
    return a;
}

}  // namespace

void pressCloseBox(QWidget* widget) {
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11->connection();
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(widget->window()->winId());
    event.type = atom(c, "WM_PROTOCOLS");
    event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    constexpr int kHandlingMs = 100;
    QTest::qWait(kHandlingMs);
}

int differingPixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return -1;
    QImage x = a.convertToFormat(QImage::Format_RGB32);
    QImage y = b.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col)
            if (x.pixel(col, row) != y.pixel(col, row)) ++n;
    return n;
}

}  // namespace guitest
