#include "TypedLineFit.h"

#include <QEvent>
#include <QLineEdit>

void fitTypedLine(QLineEdit* box, int innerHeight)
{
    const int overflow = box->fontMetrics().height() - innerHeight;
    box->setTextMargins(0, overflow > 0 ? -overflow : 0, 0, 0);
}

bool TypedLineFit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange) {
        auto* box = static_cast<QLineEdit*>(watched);
        fitTypedLine(box, box->height());
    }
    return QObject::eventFilter(watched, event);
}
