#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;

namespace mavrel {

class ListViewEnh;

// Find-as-you-type under a list: hidden until the user types into the list, it then shows
// only the rows whose name contains the typed text. Escape, or emptying the box, shows every
// row again in the list's sort order.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    // labelName / boxName: the object names of the caption and the box, as localisation and
    // screen readers know them.
    FindBar(ListViewEnh *list, const QString &labelName, const QString &boxName);

    QLabel *label() const { return m_label; }
    QLineEdit *box() const { return m_box; }
    QString text() const;
    // Shows the bar with its text chosen, ready for typing (Find in the View menu).
    void openBar();
    // Hides the bar and shows the whole list.
    void closeBar();
    // The layout gave the list its full rectangle again; an open bar takes its foot anew.
    void listPlaced();

signals:
    // The rows shown changed because of the find text.
    void findChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openWith(const QString &typed);
    void place();

    ListViewEnh *m_list;
    QLabel *m_label;
    QLineEdit *m_box;
    QRect m_listRect; // the list's rectangle without the bar
};

} // namespace mavrel
