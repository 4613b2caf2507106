#include "localization/ui/windowcontrols.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

// Accessors of a control that has one text: item 0 only.
template<typename W, typename Get, typename Set>
LocalizableControl oneText(W *w, const QString &kind, const QString &name, std::optional<int> index,
                           Get get, Set set)
{
    const QPointer<W> p(w);
    LocalizableControl c;
    c.kind = kind;
    c.name = name;
    c.index = index;
    c.itemCount = [] { return 0; };
    c.text = [p, get](int item) { return p && item == 0 ? get(p.data()) : QString(); };
    c.setText = [p, set](int item, const QString &text) {
        if (p && item == 0)
            set(p.data(), text);
    };
    return c;
}

template<typename W> std::function<void()> redrawOf(W *w)
{
    const QPointer<W> p(w);
    return [p] {
        if (p)
            p->update();
    };
}

} // namespace

WindowControls::WindowControls(QWidget *window) : m_window(window) {}

QString WindowControls::windowName() const
{
    return m_window ? m_window->objectName() : QString();
}

QString WindowControls::windowCaption() const
{
    return m_window ? m_window->windowTitle() : QString();
}

void WindowControls::setWindowCaption(const QString &caption)
{
    if (m_window)
        m_window->setWindowTitle(caption);
}

void WindowControls::addButton(QAbstractButton *button, const char *kind, const QString &arrayName,
                               std::optional<int> index)
{
    LocalizableControl c = oneText(
        button, QLatin1StringView(kind), arrayName.isEmpty() ? button->objectName() : arrayName,
        index, [](QAbstractButton *b) { return b->text(); },
        [](QAbstractButton *b, const QString &t) { b->setText(t); });
    c.redraw = redrawOf(button);
    m_controls.push_back(std::move(c));
}

void WindowControls::addLabel(QLabel *label, const char *kind)
{
    label->setTextFormat(Qt::PlainText);
    LocalizableControl c = oneText(
        label, QLatin1StringView(kind), label->objectName(), std::nullopt,
        [](QLabel *l) { return l->text(); }, [](QLabel *l, const QString &t) { l->setText(t); });
    c.redraw = redrawOf(label);
    m_controls.push_back(std::move(c));
}

void WindowControls::addFrame(QGroupBox *frame)
{
    LocalizableControl c = oneText(
        frame, QLatin1StringView(controlkind::Frame), frame->objectName(), std::nullopt,
        [](QGroupBox *f) { return f->title(); },
        [](QGroupBox *f, const QString &t) { f->setTitle(t); });
    c.redraw = redrawOf(frame);
    m_controls.push_back(std::move(c));
}

void WindowControls::addTabStrip(QTabBar *tabs)
{
    const QPointer<QTabBar> p(tabs);
    LocalizableControl c;
    c.kind = QLatin1StringView(controlkind::TabStrip);
    c.name = tabs->objectName();
    c.itemCount = [p] { return p ? p->count() : 0; };
    c.text = [p](int n) { return p ? p->tabText(n - 1) : QString(); };
    c.setText = [p](int n, const QString &t) {
        if (p && n >= 1 && n <= p->count())
            p->setTabText(n - 1, t);
    };
    c.redraw = redrawOf(tabs);
    m_controls.push_back(std::move(c));
}

void WindowControls::addListView(QAbstractItemView *view,
                                 std::function<void(int, const QString &)> setHeader)
{
    const QPointer<QAbstractItemView> p(view);
    LocalizableControl c;
    c.kind = QLatin1StringView(controlkind::ListView);
    c.name = view->objectName();
    c.itemCount = [p] { return p && p->model() ? p->model()->columnCount() : 0; };
    c.text = [p](int n) {
        return p && p->model() ? p->model()->headerData(n - 1, Qt::Horizontal).toString()
                               : QString();
    };
    c.setText = [p, setHeader](int n, const QString &t) {
        if (!p || !p->model() || n < 1 || n > p->model()->columnCount())
            return;
        if (setHeader)
            setHeader(n - 1, t);
        else
            p->model()->setHeaderData(n - 1, Qt::Horizontal, t);
    };
    c.redraw = [p] {
        if (p)
            p->viewport()->update();
    };
    m_controls.push_back(std::move(c));
}

void WindowControls::addMenu(QMenu *menu, const QString &name, std::optional<int> index)
{
    m_controls.push_back(oneText(
        menu, QLatin1StringView(controlkind::Menu), name, index,
        [](QMenu *m) { return m->title(); }, [](QMenu *m, const QString &t) { m->setTitle(t); }));
}

void WindowControls::addMenuItem(QAction *item, const QString &name, std::optional<int> index)
{
    m_controls.push_back(oneText(
        item, QLatin1StringView(controlkind::Menu), name, index,
        [](QAction *a) { return a->text(); }, [](QAction *a, const QString &t) { a->setText(t); }));
}

void WindowControls::addComboBox(QComboBox *box, int fixedItems, std::function<QString(int)> item,
                                 std::function<void(int, const QString &)> setItem)
{
    const QPointer<QComboBox> p(box);
    LocalizableControl c;
    c.kind = QLatin1StringView(controlkind::ComboBox);
    c.name = box->objectName();
    c.itemCount = [fixedItems] { return fixedItems; };
    c.text = [p, item](int n) {
        if (item)
            return item(n);
        return p ? p->itemText(n - 1) : QString();
    };
    c.setText = [p, fixedItems, setItem](int n, const QString &t) {
        if (n < 1 || n > fixedItems)
            return;
        if (setItem)
            setItem(n, t);
        else if (p)
            p->setItemText(n - 1, t);
    };
    m_controls.push_back(std::move(c));
}

void WindowControls::addTextBox(QLineEdit *box)
{
    m_controls.push_back(oneText(
        box, QLatin1StringView(controlkind::TextBox), box->objectName(), std::nullopt,
        [](QLineEdit *e) { return e->text(); },
        [](QLineEdit *e, const QString &t) {
            if (!e->isModified())
                e->setText(t);
        }));
}

void WindowControls::addOther(QObject *control, const QString &kind)
{
    LocalizableControl c;
    c.kind = kind;
    c.name = control->objectName();
    m_controls.push_back(std::move(c));
}

} // namespace mavrel
