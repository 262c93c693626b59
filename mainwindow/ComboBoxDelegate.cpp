#include "ComboBoxDelegate.h"

ComboBoxDelegate::~ComboBoxDelegate() = default;

QSize ComboBoxDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QItemDelegate::sizeHint(option, index);
    size.setHeight(20);
    return size;
}
