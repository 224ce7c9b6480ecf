#include "Controls.h"

#include <QLabel>

#include <algorithm>

namespace Controls {

namespace {

// The controls beside a label on its row: where the next one on its right starts and where the
// last one on its left ends, or the container's edges.
struct Row
{
    int left = 0;
    int right = 0;
};

Row rowAround(const QLabel* label)
{
    const QWidget* parent = label->parentWidget();
    Row row{0, parent->width()};
    const QRect own = label->geometry();
    for (const QObject* child : parent->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(child);
        // Hidden controls belong to another state of the window.
        if (!sibling || sibling == label || sibling->isWindow() || sibling->isHidden())
            continue;
        const QRect other = sibling->geometry();
        if (other.top() > own.bottom() || other.bottom() < own.top())
            continue;
        if (other.left() > own.left())
            row.right = std::min(row.right, other.left());
        else if (other.right() < own.left())
            row.left = std::max(row.left, other.right() + 1);
    }
    return row;
}

// How far right of the label's left edge the caption inks.
int inkEnd(const QLabel* label, const QFont& font)
{
    const QFontMetrics metrics(font);
    return label->contentsRect().left() + metrics.tightBoundingRect(label->text()).right() + 1;
}
} // namespace

void widenLabelsToFit(QWidget* window)
{
    // Ink this close to the next control or the edge reads as touching it.
    const int clearance = 2;
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->parentWidget() || label->text().isEmpty())
            continue;
        // A label hidden now belongs to another state of the window, whose neighbours on its row
        // are not known here: it may take its container's width.
        const Row row =
            label->isHidden() ? Row{label->x(), label->parentWidget()->width()} : rowAround(label);
        const int wanted = label->fontMetrics().horizontalAdvance(label->text()) + clearance;
        // Some layouts draw a label a little under the box beside it; it stops where the box
        // starts, and only the blank end of a caption such as "：" would have been hidden there.
        int width = std::min(std::max(wanted, label->width()), row.right - label->x());
        // A caption whose characters still do not fit moves left by a few pixels into free room
        // on its row...
        const int missing = inkEnd(label, label->font()) + clearance - width;
        const int slide =
            std::clamp(missing, 0, std::min(label->x() - row.left, label->height() / 2));
        width += slide;
        label->setGeometry(label->x() - slide, label->y(), width, label->height());
        // ... or, where there is none, gets a slightly smaller size rather than losing its end.
        QFont font = label->font();
        const double smallest = font.pointSizeF() * 0.85;
        while (inkEnd(label, font) + clearance > width && font.pointSizeF() - 0.5 >= smallest)
            font.setPointSizeF(font.pointSizeF() - 0.5);
        if (font != label->font())
            label->setFont(font);
    }
}

} // namespace Controls
