#pragma once
// Control identifiers on Qt widgets: every control of a dialog carries its id (as in
// res/resource.h) so that the dialogs and the tests find it by the same number.

#include <QString>
#include <QWidget>

// A text of the program (UTF-8) for a widget; "" for none.
inline QString uiText(const char* utf8) {
    return QString::fromUtf8(utf8 ? utf8 : "");
}

inline QString controlName(int id) {
    return QStringLiteral("ctl%1").arg(id);
}

inline void setControlId(QWidget* control, int id) {
    control->setObjectName(controlName(id));
}

// The control `id` among the children of `dialog`, or null.
template <class T>
T* findControl(const QWidget* dialog, int id) {
    return dialog->findChild<T*>(controlName(id));
}
