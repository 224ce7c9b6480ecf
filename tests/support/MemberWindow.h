#pragma once

// Shared by the member window's test programs: filling a store with members and driving the
// window by its controls' names. Header only, so the support library stays free of the windows.

#include "Database.h"
#include "Dialogs.h"
#include "Form.h"
#include "Forms.h"
#include "Member.h"
#include "MemberGenerator.h"
#include "PhotoBox.h"
#include "PhotoFiles.h"
#include "RecordFixture.h"
#include "TestFolder.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <algorithm>

namespace MemberTests {

inline const QString kEmptyStore = QStringLiteral(" 数据库为空!!!");
inline const QString kPickGender = QStringLiteral("请选择性别");
inline const QString kRepairing = QStringLiteral("检测到会员图片丢失，系统开始自我修复");
inline const QString kRepairingTitle = QStringLiteral("系统提示");
inline const QString kRepaired = QStringLiteral("系统自我修复成功,如果确定用此照片请点击修改保存");
inline const QString kRepairedTitle = QStringLiteral("修复成功");
// The detail fields after they were cleared, in the order Window::fields() gives.
inline const QStringList kCleared = {{}, {}, kPickGender, {}, {}, {}, {}, {}};

inline void removeRows(const TestFolder& folder, const QList<qint64>& ids)
{
    Database db = folder.open();
    for (qint64 id : ids)
        if (!db.run(QStringLiteral("DELETE FROM user WHERE id = ?"), {id}))
            qFatal("cannot delete row");
}

// Every id in the store, highest first: what the full list pages through.
inline QList<qint64> storedIdsNewestFirst(const TestFolder& folder)
{
    Database db = folder.open();
    QList<qint64> ids;
    {
        Result<QSqlQuery> q = db.run(QStringLiteral("SELECT id FROM user"));
        if (!q)
            qFatal("cannot read ids");
        while (q->next())
            ids.append(q->value(0).toLongLong());
    }
    std::sort(ids.begin(), ids.end(), std::greater<>());
    return ids;
}

// The member window and its controls, found by name.
struct Window
{
    Form* form = nullptr;
    QLineEdit* t1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLineEdit* t3 = nullptr;
    QLineEdit* T4 = nullptr;
    QLineEdit* T5 = nullptr;
    QLineEdit* T6 = nullptr;
    QPlainTextEdit* T7 = nullptr;
    QLineEdit* t8 = nullptr;
    QLineEdit* t9 = nullptr;
    QLineEdit* txtPageMsg = nullptr;
    QLabel* lss = nullptr;
    QTableView* grid = nullptr;
    PhotoBox* photo = nullptr;

    bool ok() const
    {
        return form && t1 && Combo1 && t3 && T4 && T5 && T6 && T7 && t8 && t9 && txtPageMsg &&
               lss && grid && grid->model() && photo;
    }
    QAbstractItemModel* model() const { return grid->model(); }

    void click(const char* name) const
    {
        auto* button = form->findChild<QPushButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QString cell(int row, int column) const
    {
        return model()->index(row, column).data().toString();
    }
    QList<QStringList> page() const
    {
        QList<QStringList> rows;
        for (int r = 0; r < model()->rowCount(); ++r) {
            rows.append(QStringList());
            for (int c = 0; c < model()->columnCount(); ++c)
                rows.last() << cell(r, c);
        }
        return rows;
    }
    QList<qint64> shownIds() const
    {
        QList<qint64> ids;
        for (int r = 0; r < model()->rowCount(); ++r)
            ids << cell(r, 0).toLongLong();
        return ids;
    }
    int currentRow() const { return grid->currentIndex().row(); }

    // Moves the grid's current cell the way a keyboard move does.
    void select(int row, int column = 1) const
    {
        grid->setCurrentIndex(model()->index(row, column));
    }
    // A real click into a cell.
    void clickCell(int row, int column) const
    {
        const QRect cellRect = grid->visualRect(model()->index(row, column));
        QVERIFY2(cellRect.isValid() && grid->viewport()->rect().contains(cellRect.center()),
                 "cell is not visible");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cellRect.center());
    }

    // What the detail fields show, in the grid's column order without the photo.
    QStringList fields() const
    {
        return {t8->text(), t1->text(), Combo1->currentText(), t3->text(), T4->text(),
                T5->text(), T6->text(), T7->toPlainText()};
    }
};

inline Window findWindow(Form* form)
{
    Window w;
    w.form = form;
    if (!form)
        return w;
    w.t1 = form->findChild<QLineEdit*>(QStringLiteral("t1"));
    w.Combo1 = form->findChild<QComboBox*>(QStringLiteral("Combo1"));
    w.t3 = form->findChild<QLineEdit*>(QStringLiteral("t3"));
    w.T4 = form->findChild<QLineEdit*>(QStringLiteral("T4"));
    w.T5 = form->findChild<QLineEdit*>(QStringLiteral("T5"));
    w.T6 = form->findChild<QLineEdit*>(QStringLiteral("T6"));
    w.T7 = form->findChild<QPlainTextEdit*>(QStringLiteral("T7"));
    w.t8 = form->findChild<QLineEdit*>(QStringLiteral("t8"));
    w.t9 = form->findChild<QLineEdit*>(QStringLiteral("t9"));
    w.txtPageMsg = form->findChild<QLineEdit*>(QStringLiteral("txtPageMsg"));
    w.lss = form->findChild<QLabel*>(QStringLiteral("lss"));
    w.grid = form->findChild<QTableView*>(QStringLiteral("DataGrid1"));
    w.photo = form->findChild<PhotoBox*>(QStringLiteral("Picture1"));
    return w;
}

inline Window openWindow()
{
    return findWindow(Forms::instance().show(QStringLiteral("xianshi")));
}

// The values a row should bring into the detail fields, in Window::fields() order.
inline QStringList fieldsOf(const Member& m)
{
    return {QString::number(m.id),
            m.xingming,
            m.xingbie,
            m.nianling,
            m.dianhua,
            m.qq,
            m.youxiang,
            m.dizhi};
}

} // namespace MemberTests
