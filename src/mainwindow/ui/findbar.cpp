#include "mainwindow/ui/findbar.h"

#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace mavrel {

FindBar::FindBar(ListViewEnh *list, const QString &labelName, const QString &boxName)
    : QWidget(list->parentWidget()), m_list(list), m_label(new QLabel(u"Find:"_s, this)),
      m_box(new QLineEdit(this))
{
    setObjectName(boxName + u"Bar"_s);
    m_label->setObjectName(labelName);
    m_box->setObjectName(boxName);
    m_label->setBuddy(m_box);
    m_box->setClearButtonEnabled(true);
    // The box's own clear button has an icon and no text: a screen reader would meet a nameless
    // button.
    for (QToolButton *button : m_box->findChildren<QToolButton *>())
        button->setAccessibleName(u"Clear Find"_s);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_label);
    row->addWidget(m_box, 1);
    hide();

    connect(m_box, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_list->proxy()->setFindText(text);
        emit findChanged();
        if (text.isEmpty())
            closeBar();
    });
    // Screen readers name the box after its caption, the buddy label.
    m_list->installEventFilter(this);
    m_box->installEventFilter(this);
}

QString FindBar::text() const
{
    return m_box->text();
}

void FindBar::openWith(const QString &typed)
{
    if (isHidden())
        m_listRect = m_list->geometry();
    show();
    place();
    raise();
    m_box->setFocus();
    m_box->setText(m_box->text() + typed);
}

void FindBar::openBar()
{
    openWith({});
    m_box->selectAll();
}

void FindBar::closeBar()
{
    const bool hadFocus = m_box->hasFocus();
    if (!isHidden()) {
        hide();
        m_list->setGeometry(m_listRect);
    }
    if (!m_box->text().isEmpty())
        m_box->clear(); // comes back here through textChanged
    if (hadFocus)
        m_list->setFocus();
}

void FindBar::listPlaced()
{
    m_listRect = m_list->geometry();
    if (!isHidden())
        place();
}

void FindBar::place()
{
    // In the list's own foot: the list gives up that room and the layout's spacing, so no row is
    // covered and the bar stays clear of the frame's edge and the status bar.
    int spacing = style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing, nullptr, this);
    if (spacing < 0)
        spacing = style()->layoutSpacing(QSizePolicy::DefaultType, QSizePolicy::LineEdit,
                                         Qt::Vertical, nullptr, this);
    const int height = sizeHint().height();
    const QRect full = m_listRect;
    setGeometry(full.left(), full.bottom() + 1 - height, full.width(), height);
    m_list->setGeometry(full.adjusted(0, 0, 0, -std::min(height + spacing, full.height())));
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_list) {
        if (key->key() == Qt::Key_Escape && !isHidden()) {
            closeBar();
            return true;
        }
        const QString typed = key->text();
        const bool command =
            key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        // Space is the player's, and a leading blank finds nothing useful anyway.
        if (command || typed.isEmpty() || !typed.at(0).isPrint() ||
            (typed.at(0).isSpace() && m_box->text().isEmpty()))
            return false;
        openWith(typed);
        return true;
    }
    if (watched == m_box) {
        switch (key->key()) {
        case Qt::Key_Escape:
            closeBar();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // The list moves and plays; the box keeps the text. The first move, or Enter, with
            // no row chosen chooses the first row found (the list's focus would only make it
            // current, and a move would then skip it).
            const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
            const bool chosen = m_list->currentIndex().isValid() &&
                                m_list->selectionModel()->isSelected(m_list->currentIndex());
            const bool first = !chosen && m_list->model()->rowCount() > 0;
            if (first)
                m_list->setCurrentIndex(m_list->model()->index(0, 0));
            m_list->setFocus();
            if (enter || !first)
                QApplication::sendEvent(m_list, event);
            return true;
        }
        default:
            break;
        }
    }
    return false;
}

} // namespace mavrel
