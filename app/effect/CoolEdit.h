#pragma once
// CCoolEdit: an edit with a flat one-pixel frame that turns black while the mouse is over
// it or while it has the keyboard focus.

#include <QColor>
#include <QLineEdit>

class CCoolEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit CCoolEdit(QWidget* parent = nullptr);

    bool isHovering() const { return m_bHovering; }
    bool isFocused() const { return m_bFocused; }
    // The colour of the frame now.
    QColor frameColor() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool m_bFocused = false;
    bool m_bHovering = false;
    bool m_bSkinnedFrame = true;
};
