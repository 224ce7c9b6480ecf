#include "AppSetup.h"
#include "Dialogs.h"
#include "Forms.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    AppSetup::prepareApplication(app);

    QString problem;
    if (!AppSetup::applyArguments(QApplication::arguments(), &problem)) {
        Dialogs::current().message(nullptr, problem, QString(), Dialogs::Icon::Critical);
        return 2;
    }
    AppSetup::registerWindows();

    // The forms decide when the program ends: when the last window is gone, or at once on "end".
    QApplication::setQuitOnLastWindowClosed(false);
    Forms& forms = Forms::instance();
    QObject::connect(&forms, &Forms::lastFormUnloaded, &app, &QApplication::quit);
    QObject::connect(&forms, &Forms::ended, &app, &QApplication::quit);

    forms.show(QStringLiteral("admin"));
    if (forms.loaded().isEmpty())
        return 0;
    return QApplication::exec();
}
