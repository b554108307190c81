#include "ListHeader.h"

#include <QMouseEvent>
#include <QStyle>

#include <algorithm>

ListHeader::ListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

int ListHeader::ClosedLastSectionAt(int x) const
{
    const int count = this->count();
    if (count == 0 || orientation() != Qt::Horizontal || isRightToLeft())
        return -1;
    const int last = logicalIndex(count - 1);
    if (isSectionHidden(last) || sectionSize(last) != 0 || sectionResizeMode(last) != Interactive)
        return -1;
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int divider = sectionViewportPosition(last);
    return (x >= divider - grip && x <= divider + grip) ? last : -1;
}

void ListHeader::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int section = ClosedLastSectionAt(event->position().toPoint().x());
        if (section >= 0) {
            opening_ = section;
            rightEnd_ = sectionViewportPosition(section);
            event->accept();
            return;
        }
    }
    QHeaderView::mousePressEvent(event);
}

void ListHeader::mouseMoveEvent(QMouseEvent* event)
{
    if (opening_ >= 0) {
        // The divider follows the mouse to the left; the stretching first column gives way.
        resizeSection(opening_, std::max(0, rightEnd_ - event->position().toPoint().x()));
        event->accept();
        return;
    }
    QHeaderView::mouseMoveEvent(event);
}

void ListHeader::mouseReleaseEvent(QMouseEvent* event)
{
    if (opening_ >= 0) {
        opening_ = -1;
        event->accept();
        return;
    }
    QHeaderView::mouseReleaseEvent(event);
}
