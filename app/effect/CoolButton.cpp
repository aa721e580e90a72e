#include "effect/CoolButton.h"

#include <QEvent>
#include <QPainter>

QPixmap loadBitmap(int id) {
    return QPixmap(QStringLiteral(":/skin/%1.png").arg(id));
}

CCoolButton::CCoolButton(QWidget* parent) : QPushButton(parent) {
    setAttribute(Qt::WA_Hover);
}

void CCoolButton::setBitmaps(int normal, int hover, int pressed, int disabled) {
    Q_ASSERT(normal != 0);
    const int ids[4] = {normal, hover, pressed, disabled};
    for (int i = 0; i < 4; ++i) m_faces[i] = loadBitmap(ids[i] ? ids[i] : normal);
    m_bSizeToBitmap = true;
    updateGeometry();
    update();
}

void CCoolButton::sizeToBitmap() {
    if (!m_bSizeToBitmap) return;
    const QPoint topLeft = pos();
    setFixedSize(m_faces[0].size());
    move(topLeft);
}

ButtonFace CCoolButton::currentFace() const {
    return chooseButtonFace(!isEnabled(), isDown(), hasFocus(), m_bHovering);
}

QSize CCoolButton::sizeHint() const {
    if (m_bSizeToBitmap) return m_faces[0].size();
    return QPushButton::sizeHint();
}

void CCoolButton::paintEvent(QPaintEvent*) {
    ButtonFace f = currentFace();
    m_bPressed = f == ButtonFace::Pressed;
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawPixmap(rect(), face(f));
}

void CCoolButton::enterEvent(QEnterEvent* event) {
    m_bHovering = true;
    update();
    QPushButton::enterEvent(event);
}

void CCoolButton::leaveEvent(QEvent* event) {
    m_bHovering = false;
    update();
    QPushButton::leaveEvent(event);
}

bool CCoolButton::event(QEvent* event) {
    // A disabled button receives no enter and leave events, but still its hover events.
    switch (event->type()) {
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
            m_bHovering = true;
            break;
        case QEvent::HoverLeave:
            m_bHovering = false;
            break;
        default:
            break;
    }
    return QPushButton::event(event);
}
