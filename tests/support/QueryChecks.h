#pragma once

// The condition query's test helpers: typing a condition, the listing a query shows, and the
// state a refused or fruitless query leaves behind.

#include "MemberWindow.h"
#include "Module1.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QTest>

namespace QueryTests {

using MemberTests::Window;

inline const QString kRefused = QStringLiteral("查询违规");
inline const QString kTooMany = QStringLiteral("条件过多请选择单一条件进行查询");
inline const QString kNoCondition = QStringLiteral("请输入一个查询条件进行查询");
inline const QString kTooLong = QStringLiteral("查询条件过长，请不要超过1000个字符");
inline const QString kNothing = QStringLiteral("没有相关信息");
inline const QString kFailed = QStringLiteral("查询失败");

// Types into the boxes given as name, text, name, text...; the gender box is emptied first.
// Text goes in as the input method commits it, whole characters at a time, including those
// outside the basic plane that key events would deliver in halves.
inline void fill(const Window& w, const QStringList& typed)
{
    for (int i = 0; i + 1 < typed.size(); i += 2) {
        QWidget* box = w.form->findChild<QWidget*>(typed.at(i));
        QVERIFY2(box, qPrintable(typed.at(i)));
        if (box == w.Combo1) {
            w.Combo1->lineEdit()->clear();
            box = w.Combo1->lineEdit();
        }
        QInputMethodEvent event;
        event.setCommitString(typed.at(i + 1));
        QApplication::sendEvent(box, &event);
    }
}

// Every id of the listing shown, walking forward from page 1 with "下一页".
inline QList<qint64> walkPages(const Window& w)
{
    const auto page = [&w](int part) {
        return w.txtPageMsg->text().section(u'/', part, part);
    };
    QList<qint64> ids = w.shownIds();
    for (int guard = 0; guard < 200 && page(0) != page(1); ++guard) {
        w.click("Command8");
        ids += w.shownIds();
    }
    return ids;
}

// After "会员列表" or a query that ended in a message: empty fields over page 1 of everyone.
inline void checkFullListBack(const Window& w, const TestFolder& folder)
{
    const QList<qint64> ids = MemberTests::storedIdsNewestFirst(folder);
    QCOMPARE(w.fields(), (QStringList{{}, {}, MemberTests::kPickGender, {}, {}, {}, {}, {}}));
    QVERIFY(w.photo->isEmpty());
    QCOMPARE(Module1::RecordPhoto, QString());
    QCOMPARE(w.t9->text(), QString::number(ids.size()));
    QCOMPARE(w.txtPageMsg->text(), QStringLiteral("1/%1").arg((ids.size() + 9) / 10));
    QCOMPARE(w.shownIds(), ids.mid(0, 10));
}

} // namespace QueryTests
