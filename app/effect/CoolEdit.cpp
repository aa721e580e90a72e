#include "effect/CoolEdit.h"

#include <QPainter>

namespace {

// The flat sunken edge of an edit neither hovered nor focused.
const QColor kFlatEdgeColor(160, 160, 160);
// Room between the frame and the text.
constexpr int kTextMargin = 2;

}  // namespace

CCoolEdit::CCoolEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setTextMargins(kTextMargin, kTextMargin, kTextMargin, kTextMargin);
}

QColor CCoolEdit::frameColor() const {
    return m_bHovering || m_bFocused ? QColor(Qt::black) : kFlatEdgeColor;
}

void CCoolEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    if (!m_bSkinnedFrame) return;
    QPainter p(this);
    p.setPen(frameColor());
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CCoolEdit::focusInEvent(QFocusEvent* event) {
    m_bFocused = true;
    QLineEdit::focusInEvent(event);
    update();
}

void CCoolEdit::focusOutEvent(QFocusEvent* event) {
    m_bFocused = false;
    QLineEdit::focusOutEvent(event);
    update();
}

void CCoolEdit::enterEvent(QEnterEvent* event) {
    m_bHovering = true;
    update();
    QLineEdit::enterEvent(event);
}

void CCoolEdit::leaveEvent(QEvent* event) {
    m_bHovering = false;
    update();
    QLineEdit::leaveEvent(event);
}
