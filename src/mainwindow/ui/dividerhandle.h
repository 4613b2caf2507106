#pragma once

#include <QWidget>

namespace mavrel {

// The bar between the left panel and the player: dragged with the mouse, or moved with the
// arrow keys once it has the focus. It only reports where the user wants it; the window places it.
class DividerHandle : public QWidget
{
    Q_OBJECT
public:
    explicit DividerHandle(QWidget *parent);

signals:
    // The pointer or a key asks for the divider's left edge at `x`, in the parent's coordinates.
    void moveRequested(int x);
    // A drag or a key press ended: the place is worth keeping.
    void moveFinished();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int m_grab = -1; // where in the bar the pointer took it; -1 when not dragging
};

} // namespace mavrel
