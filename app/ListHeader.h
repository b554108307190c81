#pragma once
// ListHeader: the column header of the string list. Like QHeaderView, except that a closed
// column (width 0) can be dragged open to the left by the divider where it sits, as in a
// Windows list; QHeaderView would give that divider to the column before it.

#include <QHeaderView>

class ListHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit ListHeader(QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // The closed column whose divider is under x, or -1.
    int ClosedSectionAt(int x) const;

    int opening_ = -1;  // the column being dragged open
    int rightEnd_ = 0;  // its right edge, which stays where it is while the divider moves
};
