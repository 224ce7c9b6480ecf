#pragma once

#include "Dialogs.h"
#include "Form.h"
#include "Forms.h"
#include "Module1.h"
#include "PhotoBox.h"
#include "TestFolder.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTest>

#include <algorithm>

// What a window showed through the dialogs, in a form QCOMPARE compares and prints.
struct Shown
{
    QString kind; // "message", "openFile" or "openUrl"
    QString text;
    QString title;
    Dialogs::Icon icon = Dialogs::Icon::None;
    Dialogs::Buttons buttons = Dialogs::Buttons::Ok;
    bool operator==(const Shown&) const = default;
};

// A message box with an OK button.
inline Shown messageBox(const QString& text, const QString& title,
                        Dialogs::Icon icon = Dialogs::Icon::None)
{
    return {QStringLiteral("message"), text, title, icon, Dialogs::Buttons::Ok};
}

inline QList<Shown> shown(const ScriptedDialogs& dialogs)
{
    QList<Shown> calls;
    for (const ScriptedDialogs::Call& c : dialogs.calls)
        calls.append({c.kind, c.text, c.title, c.icon, c.buttons});
    return calls;
}

inline char* toString(const Shown& s)
{
    return QTest::toString(QStringLiteral("%1 \"%2\" title \"%3\" icon %4 buttons %5")
                               .arg(s.kind, s.text, s.title)
                               .arg(int(s.icon))
                               .arg(int(s.buttons)));
}

// Types into a box as the keyboard does. QTest::keyClicks only knows Latin-1.
inline void typeText(QWidget* box, const QString& text)
{
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(box, &press);
        QApplication::sendEvent(box, &release);
    }
}

template <typename T> T* findIn(QWidget* window, const char* name)
{
    return window ? window->findChild<T*>(QLatin1String(name)) : nullptr;
}

// A real click on a control found by name; the operator can only click what is on screen.
inline void press(QWidget* window, const char* name)
{
    QWidget* control = findIn<QWidget>(window, name);
    QVERIFY2(control && control->isVisible(), name);
    QTest::mouseClick(control, Qt::LeftButton);
}

inline Form* loadedForm(const QString& name)
{
    return Forms::instance().find(name);
}

// The names of the loaded windows, sorted; one that is not on screen says so.
inline QStringList loadedNames()
{
    QStringList names;
    for (Form* form : Forms::instance().loaded())
        names << form->objectName() + (form->isVisible() ? QString() : QStringLiteral(" (hidden)"));
    names.sort();
    return names;
}

// Types a name and a password into the sign-in window and presses "登陆".
inline void signInThrough(QWidget* window, const QString& name, const QString& password)
{
    typeText(findIn<QWidget>(window, "Text1"), name);
    typeText(findIn<QWidget>(window, "Text2"), password);
    QTest::mouseClick(findIn<QWidget>(window, "Command1"), Qt::LeftButton);
}

// The controls of the sign-in window whose visibility does not fit the state it should be in.
inline QStringList signInStateMismatches(QWidget* window, bool signedIn)
{
    const QStringList signingInOnly{"Label1", "Label2", "Label3", "Text1", "Text2", "Command1"};
    const QStringList signedInOnly{"Label4", "c1", "c2", "c3", "c4", "c5"};
    QStringList wrong;
    for (const QString& name : signingInOnly + signedInOnly + QStringList{"Command2", "Frame1"}) {
        QWidget* w = window ? window->findChild<QWidget*>(name) : nullptr;
        const bool want = signingInOnly.contains(name)  ? !signedIn
                          : signedInOnly.contains(name) ? signedIn
                                                        : true;
        if (!w || w->isVisible() != want)
            wrong.append(name);
    }
    return wrong;
}

// The sign-in window as the operator finds it, and whom the program holds as signed in:
// "signed in" or "signing in", name box, password box, selected name, focus, user, password.
inline QString signInState(QWidget* window)
{
    const QString state =
        signInStateMismatches(window, true).isEmpty()    ? QStringLiteral("signed in")
        : signInStateMismatches(window, false).isEmpty() ? QStringLiteral("signing in")
                                                         : QStringLiteral("half");
    auto* text1 = findIn<QLineEdit>(window, "Text1");
    QWidget* focus = window->focusWidget();
    return QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
        .arg(state, text1->text(), findIn<QLineEdit>(window, "Text2")->text(),
             text1->selectedText(), focus ? focus->objectName() : QString(), Module1::varLoginUser,
             Module1::varLoginPwd);
}

// Signs in as admin / Abc123; returns the sign-in window, or the panel window reached after
// leaving through the member window.
inline Form* signedInOn(const QString& form)
{
    Form* window = Forms::instance().show(QStringLiteral("admin"));
    signInThrough(window, QStringLiteral("admin"), QStringLiteral("Abc123"));
    if (form == QLatin1String("admin"))
        return window;
    press(window, "c1");
    Forms::instance().unload(loadedForm(QStringLiteral("xianshi")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Forms::instance().show(QStringLiteral("admin1"));
}

// The password change window as "修改口令" opens it for the signed-in operator.
struct ChangeWindow
{
    Form* form = nullptr;
    QLineEdit* boxes[3] = {}; // the old password, then the array of two new ones by their index

    ChangeWindow(const QString& user, const QString& password)
    {
        Module1::varLoginUser = user;
        Module1::varLoginPwd = password;
        form = Forms::instance().show(QStringLiteral("mimaxiugai"));
        boxes[0] = findIn<QLineEdit>(form, "t1");
        for (QLineEdit* box : form->findChildren<QLineEdit*>(QStringLiteral("txtNewPWD")))
            boxes[1 + qBound(0, box->property("index").toInt(), 1)] = box;
    }
    // The three boxes, which has the focus, and what the first new one has selected.
    QString state() const
    {
        const auto focus = std::find(boxes, boxes + 3, form->focusWidget()) - boxes;
        return QStringList{boxes[0]->text(), boxes[1]->text(), boxes[2]->text()}.join(
                   QLatin1Char('|')) +
               QStringLiteral("|focus %1|").arg(focus) + boxes[1]->selectedText();
    }
    void save(const QStringList& typed) const
    {
        for (int i = 0; i < 3; ++i)
            typeText(boxes[i], typed.value(i));
        press(form, "Command1");
    }
};

// The default photo window with its picture box.
struct PhotoWindow
{
    QPointer<Form> form = Forms::instance().show(QStringLiteral("tiantu"));
    PhotoBox* box = findIn<PhotoBox>(form, "Picture1");

    void pick(DialogScript& dialogs, const QString& file) const
    {
        dialogs->files.append(file); // an empty name cancels
        press(form, "Command1");
    }
};
