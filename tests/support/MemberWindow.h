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

// The member window and its controls, found by name. A window without one of them is no member
// window: the test program stops there.
struct Window
{
    explicit Window(Form* shown = nullptr) : form(shown) {}

    Form* form;
    template <typename T> T* find(const char* name) const
    {
        T* control = form ? form->findChild<T*>(QLatin1String(name)) : nullptr;
        if (form && !control)
            qFatal("the member window has no %s", name);
        return control;
    }
    QLineEdit* t1 = find<QLineEdit>("t1");
    QComboBox* Combo1 = find<QComboBox>("Combo1");
    QLineEdit* t3 = find<QLineEdit>("t3");
    QLineEdit* T4 = find<QLineEdit>("T4");
    QLineEdit* T5 = find<QLineEdit>("T5");
    QLineEdit* T6 = find<QLineEdit>("T6");
    QPlainTextEdit* T7 = find<QPlainTextEdit>("T7");
    QLineEdit* t8 = find<QLineEdit>("t8");
    QLineEdit* t9 = find<QLineEdit>("t9");
    QLineEdit* txtPageMsg = find<QLineEdit>("txtPageMsg");
    QLabel* lss = find<QLabel>("lss");
    QTableView* grid = find<QTableView>("DataGrid1");
    PhotoBox* photo = find<PhotoBox>("Picture1");

    bool ok() const { return form && grid->model(); }
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
    // Types a member into the detail fields; the id and the photo are left alone.
    void fill(const Member& m) const
    {
        t1->setText(m.xingming);
        Combo1->setEditText(m.xingbie);
        t3->setText(m.nianling);
        T4->setText(m.dianhua);
        T5->setText(m.qq);
        T6->setText(m.youxiang);
        T7->setPlainText(m.dizhi);
    }
};

inline Window openWindow()
{
    return Window(Forms::instance().show(QStringLiteral("xianshi")));
}

} // namespace MemberTests
