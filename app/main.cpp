#include "AppSetup.h"
#include "Dialogs.h"
#include "Form.h"
#include "Forms.h"

#include <QApplication>
#include <QEvent>
#include <QTextStream>

namespace {
class ExitWhenPainted : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        return false;
    }
};
} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const AppSetup::Asked asked = AppSetup::asked(arguments); asked != AppSetup::Asked::Run) {
        QTextStream(stdout) << (asked == AppSetup::Asked::Version ? AppSetup::versionText()
                                                                  : AppSetup::helpText());
        return 0;
    }
    QApplication app(argc, argv);
    AppSetup::prepareApplication(app);

    QString problem;
    if (!AppSetup::applyArguments(QApplication::arguments(), &problem)) {
        Dialogs::current().message(nullptr, problem, QString(), Dialogs::Icon::Critical);
        return 2;
    }
    AppSetup::finishInterruptedSaves();
    AppSetup::registerWindows();

    // The forms decide when the program ends: when the last window is gone, or at once on "end".
    QApplication::setQuitOnLastWindowClosed(false);
    Forms& forms = Forms::instance();
    QObject::connect(&forms, &Forms::lastFormUnloaded, &app, &QApplication::quit);
    QObject::connect(&forms, &Forms::ended, &app, &QApplication::quit);

    Form* first = forms.show(AppSetup::firstWindow());
    if (forms.loaded().isEmpty())
        return 0;
    // The start-up benchmark times the program up to its first drawn window: with
    // TALVIO_EXIT_WHEN_SHOWN set, the program ends once that window has painted.
    if (first && qEnvironmentVariableIsSet("TALVIO_EXIT_WHEN_SHOWN"))
        first->installEventFilter(new ExitWhenPainted(&app));
    return QApplication::exec();
}
