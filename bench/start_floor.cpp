// The least a Qt program can do before its first window is on screen: one empty window, drawn
// once, and out. Start-up benchmarks compare the program with it.
#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {
class EmptyWindow : public QWidget
{
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return QWidget::event(e);
    }
};
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    EmptyWindow window;
    window.resize(483, 277); // the sign-in window's size
    window.show();
    return QApplication::exec();
}
