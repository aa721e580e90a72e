#pragma once
// Helpers of the GUI tests: acting inside modal dialogs, waiting, and grabbing what the X
// server shows.

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <functional>

namespace guitest {

// Runs `action` on the next modal dialog of type T, once it is shown (checked every few
// milliseconds from the event loop). Call it before the click that opens the dialog.
// `*ran` (may be null) is set when the action has run.
void onModalWidget(const std::function<bool(QWidget*)>& match,
                   const std::function<void(QWidget*)>& action, bool* ran);

template <class T>
void onModal(const std::function<void(T*)>& action, bool* ran = nullptr) {
    onModalWidget([](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
                  [action](QWidget* w) { action(qobject_cast<T*>(w)); }, ran);
}

// Processes events until `done` holds or `timeoutMs` has passed; returns `done()`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 10000);

// Shows a top-level window, waits until the X server has it on screen, and activates it.
bool showAndExpose(QWidget* window);

// The pixels the X server shows for `widget` (a part of its top-level window).
QImage grabFromScreen(QWidget* widget);

// What a window manager sends when the user presses the close box: WM_DELETE_WINDOW to the
// widget's top-level window. Returns after the window has had time to handle it.
void pressCloseBox(QWidget* widget);

// Number of pixels in which two images of the same size differ; -1 when the sizes differ.
int differingPixels(const QImage& a, const QImage& b);

}  // namespace guitest
