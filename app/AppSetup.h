#pragma once

#include <QString>
#include <QStringList>

class QApplication;

// Start-up pieces shared by the program and its tests.
namespace AppSetup {

// Fonts, Chinese standard buttons and the application's title.
void prepareApplication(QApplication& app);
// Shows the busy cursor while a statement waits for another program's lock.
void showBusyWhileWaiting();
// Fills the window registry with every window of the program.
void registerWindows();
// The window the program starts with: the sign-in window, or the first-start window when the
// program folder holds no store yet.
QString firstWindow();
// What the command line asks for: "--version" and "--help" are answered on the terminal before
// any window, since they must work without a display.
enum class Asked { Run, Version, Help };
Asked asked(const QStringList& arguments);
QString versionText();
QString helpText();
// Chooses the program folder: "--data-dir DIR", else the default folder; returns false with a
// message when the arguments are malformed or the folder cannot be used.
bool applyArguments(const QStringList& arguments, QString* problem);
// Takes the program lock for the life of the program and, when no other copy runs, finishes or
// undoes the saves a crash interrupted. Says so only when files could not be put right.
void finishInterruptedSaves();

} // namespace AppSetup
