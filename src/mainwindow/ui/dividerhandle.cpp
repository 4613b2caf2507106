#include "mainwindow/ui/dividerhandle.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOption>
#include <QStylePainter>

using namespace Qt::StringLiterals;

namespace mavrel {

DividerHandle::DividerHandle(QWidget *parent) : QWidget(parent)
{
    setObjectName(u"divider"_s);
    setAccessibleName(u"Divider"_s);
    setAccessibleDescription(u"Drag, or use the arrow keys, to widen the channel list."_s);
    setCursor(Qt::SplitHCursor);
    setFocusPolicy(Qt::TabFocus);
}

void DividerHandle::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    m_grab = event->position().toPoint().x();
}

void DividerHandle::mouseMoveEvent(QMouseEvent *event)
{
    if (m_grab < 0)
        return QWidget::mouseMoveEvent(event);
    emit moveRequested(mapToParent(event->position().toPoint()).x() - m_grab);
}

void DividerHandle::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_grab < 0 || event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    m_grab = -1;
    emit moveFinished();
}

void DividerHandle::keyPressEvent(QKeyEvent *event)
{
    const int step = event->modifiers() & Qt::ShiftModifier ? 1 : 20;
    switch (event->key()) {
    case Qt::Key_Left:
        emit moveRequested(x() - step);
        break;
    case Qt::Key_Right:
        emit moveRequested(x() + step);
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    emit moveFinished();
}

void DividerHandle::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal;
    painter.drawControl(QStyle::CE_Splitter, option);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

} // namespace mavrel
