// Opens the member window over a store, as the program does, and prints the resident set:
//   member_window_memory talvio|signed_in|naive FOLDER
// It also prints how long that first opening in a fresh process took, in ms.
// "signed_in" signs in through the sign-in window first and starts the peak afresh once it is
// done (the password hash needs 64 MiB for a moment); "naive" also keeps the whole list in
// memory, as the old design does.
#include "AppSetup.h"
#include "Dialogs.h"
#include "Forms.h"
#include "NaiveRegister.h"
#include "ProgramFolder.h"
#include "ResidentSet.h"
#include "admin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>

#include <algorithm>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc < 3)
        return 2;
    const QByteArray mode = argv[1];
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    AppSetup::prepareApplication(app);
    AppSetup::registerWindows();
    Dialogs::install(std::make_unique<ScriptedDialogs>());
    ProgramFolder::setRoot(QString::fromLocal8Bit(argv[2]));

    Forms& forms = Forms::instance();
    long signInPeakKb = 0;
    if (mode == "signed_in") {
        auto* signIn = static_cast<admin*>(forms.show(QStringLiteral("admin")));
        signIn->findChild<QLineEdit*>(QStringLiteral("Text1"))->setText(QStringLiteral("admin"));
        signIn->findChild<QLineEdit*>(QStringLiteral("Text2"))->setText(QStringLiteral("talvio"));
        signIn->Command1_Click();
        QCoreApplication::processEvents();
        forms.unload(signIn);
        signInPeakKb = ResidentSet::read().peakKb;
        ResidentSet::restartPeak();
    }
    QElapsedTimer opening;
    opening.start();
    forms.show(QStringLiteral("xianshi"));
    const double firstOpenMs = double(opening.nsecsElapsed()) / 1e6;
    NaiveRegister naive(ProgramFolder::databaseFile());
    if (mode == "naive")
        naive.loadList();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    const ResidentSet rss = ResidentSet::read();
    rss.print(std::max(rss.peakKb, signInPeakKb));
    std::printf("%.3f\n", firstOpenMs);
    std::fflush(stdout);
    std::_Exit(0); // the figure is taken; tearing down the windows would only add noise
}
