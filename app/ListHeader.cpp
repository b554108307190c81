#include "ListHeader.h"

#include <QMouseEvent>
#include <QStyle>

#include <algorithm>

ListHeader::ListHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

int ListHeader::ClosedSectionAt(int x) const
{
    if (orientation() != Qt::Horizontal || isRightToLeft())
        return -1;
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    for (int visual = count() - 1; visual >= 0; --visual) {
        const int section = logicalIndex(visual);
        if (isSectionHidden(section) || sectionSize(section) != 0 || sectionResizeMode(section) != Interactive)
            continue;
        const int divider = sectionViewportPosition(section);
        if (x >= divider - grip && x <= divider + grip)
            return section;
    }
    return -1;
}

void ListHeader::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const int section = ClosedSectionAt(event->position().toPoint().x());
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
