#pragma once

#include <QItemDelegate>

// Gives the drop-down rows of the window's combo boxes a fixed height of 20 px.
class ComboBoxDelegate : public QItemDelegate
{
public:
    using QItemDelegate::QItemDelegate;
    ~ComboBoxDelegate() override;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
