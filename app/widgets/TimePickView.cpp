#include "app/widgets/TimePickView.h"

#include "foundation/Format.h"

std::string TimePickView::pickedText() {
    return ns::format("%@-%@-%@ %@:%@", selectedText(Column::Year), selectedText(Column::Month),
                      selectedText(Column::Day), selectedText(Column::Hour), selectedText(Column::Minute));
}

void TimePickView::done() {
    std::string text = pickedText();
    if (auto d = delegate()) d->datePickDone(text);
}

void TimePickView::cancel() {
    if (auto d = delegate()) d->datePickCancel();
}
