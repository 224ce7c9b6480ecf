#include "Form.h"

#include "Forms.h"
#include "Twips.h"

#include <QCloseEvent>

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) {}

void Form::closeEvent(QCloseEvent* event)
{
    event->accept();
    Forms::instance().unload(this);
}

void Form::setClientSize(int widthTwips, int heightTwips)
{
    setFixedSize(Twips::toPixels(widthTwips), Twips::toPixels(heightTwips));
}
