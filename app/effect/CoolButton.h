#pragma once
// CCoolButton: a push button drawn entirely from four faces (normal, hover, pressed,
// disabled) and sized to its normal face.

#include <QPixmap>
#include <QPushButton>

#include "effect/ButtonFace.h"

class CCoolButton : public QPushButton {
    Q_OBJECT
  public:
    explicit CCoolButton(QWidget* parent = nullptr);

    // Bitmap ids of the four faces; each id but the normal one may be 0 and then uses the
    // normal face. Switches size-to-bitmap on.
    void setBitmaps(int normal, int hover = 0, int pressed = 0, int disabled = 0);
    // With size-to-bitmap on: the button takes the size of its normal face, its top-left
    // corner staying where it is.
    void sizeToBitmap();

    // The face the button shows now.
    ButtonFace currentFace() const;
    const QPixmap& face(ButtonFace f) const { return m_faces[static_cast<int>(f)]; }
    bool isHovering() const { return m_bHovering; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QPixmap m_faces[4];
    bool m_bHovering = false;
    bool m_bPressed = false;  // set while the pressed face is drawn
    bool m_bSizeToBitmap = false;
};

// A face image of the program's resources (bitmap id 135 to 165), or a null pixmap.
QPixmap loadBitmap(int id);
