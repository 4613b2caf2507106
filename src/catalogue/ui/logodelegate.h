#pragma once

#include <QByteArray>
#include <QSet>
#include <QStyledItemDelegate>

#include <functional>

class QAbstractItemView;

namespace mavrel {

class LogoStore;

// Draws a channel's logo before its name in the first column, from the store's memory only: a
// placeholder until it arrives and when it cannot. After each paint it tells the store which
// logos the rows on screen want, so rows scrolled away are not fetched.
class LogoDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int kSlotWidth = 48;

    // The logo address of a row (any column), empty for none.
    using AddressOf = std::function<QByteArray(const QModelIndex &index)>;

    LogoDelegate(QAbstractItemView *view, LogoStore *store, AddressOf addressOf);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    // The logo addresses of the rows on screen, top to bottom.
    QList<QByteArray> shownAddresses() const;
    // Asks again for the rows on screen, after the addresses behind them changed.
    void refresh();

protected:
    bool eventFilter(QObject *object, QEvent *event) override;
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    void requestShown();

    QAbstractItemView *m_view;
    LogoStore *m_store;
    AddressOf m_addressOf;
    QSet<QByteArray> m_shown;
    mutable bool m_requestDue = false;
};

} // namespace mavrel
