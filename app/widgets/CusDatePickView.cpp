#include "app/widgets/CusDatePickView.h"

#include <algorithm>

#include "foundation/Format.h"

int CusDatePickView::yearCount() const { return std::max(1, currentYear() - kFirstYear + 1); }

std::string CusDatePickView::pickedText() {
    return ns::format("%@-%@-%@", selectedText(Column::Year), selectedText(Column::Month), selectedText(Column::Day));
}

void CusDatePickView::done() {
    std::string text = pickedText();
    if (auto d = delegate()) d->datePickDone(text);
}

void CusDatePickView::cancel() {
    if (auto d = delegate()) d->datePickCancel();
}
