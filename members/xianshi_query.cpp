// The condition query: the one filled detail field narrows the grid.

#include "xianshi.h"

#include "Dialogs.h"
#include "Module1.h"
#include "QueryCondition.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {
const QString kGenderPrompt = QStringLiteral("请选择性别");
const QString kRefused = QStringLiteral("查询违规");
// Longer than any field an operator fills in; the engine would take seconds to refuse it.
constexpr qsizetype kLongestCondition = 1000;
} // namespace

void xianshi::CountConditions()
{
    for (const QString& text :
         {t1->text(), t3->text(), T4->text(), T5->text(), T6->text(), T7->toPlainText()})
        if (!QueryCondition::trimSpaces(text).isEmpty())
            ++Module1::intCondCount;
    if (QueryCondition::trimSpaces(Combo1->currentText()) != kGenderPrompt)
        ++Module1::intCondCount;
}

void xianshi::Command6_Click()
{
    CountConditions();
    if (Module1::intCondCount == 0) {
        Dialogs::current().message(this, QStringLiteral("请输入一个查询条件进行查询"), kRefused);
        return;
    }
    if (Module1::intCondCount >= 2) {
        Dialogs::current().message(this, QStringLiteral("条件过多请选择单一条件进行查询"),
                                   kRefused);
        Module1::intCondCount = 0;
        ClearDetails();
        LoadList();
        return;
    }
    using QueryCondition::Field;
    // The first field holding any text at all is the condition, blanks included.
    const std::pair<Field, QString> candidates[] = {
        {Field::Name, t1->text()},
        {Field::Phone, T4->text()},
        {Field::Id, t8->text()},
        {Field::QQ, T5->text()},
        {Field::Age, t3->text()},
        {Field::Mail, T6->text()},
        {Field::Address, T7->toPlainText()},
    };
    std::pair<Field, QString> condition{Field::Gender, Combo1->currentText()};
    for (const auto& candidate : candidates) {
        if (!candidate.second.isEmpty()) {
            condition = candidate;
            break;
        }
    }
    if (condition.second.size() > kLongestCondition) {
        Dialogs::current().message(
            this, QStringLiteral("查询条件过长，请不要超过%1个字符").arg(kLongestCondition),
            kRefused);
        Module1::intCondCount = 0;
        return;
    }
    // Only a condition that will run gives up the list shown, so a refused one leaves it paging.
    discardListing();
    RunQuery(QueryCondition::listingFor(condition.first, condition.second));
    Module1::intCondCount = 0;
}

void xianshi::RunQuery(const Listing& query)
{
    intCurPage = 1;
    const Database* db = connection();
    if (!db)
        return;
    Result<Pager> result = Pager::open(*db, query);
    if (!result) {
        reportFailure(QStringLiteral("查询失败：") + result.error());
        LoadList();
        return;
    }
    rs = std::make_unique<Pager>(std::move(result).value());
    t9->setText(QString::number(rs->count()));
    if (rs->isEmpty()) {
        Dialogs::current().message(this, QStringLiteral("没有相关信息"),
                                   QStringLiteral("查询失败"));
        discardListing();
        LoadList();
        ClearDetails();
        return;
    }
    ShowData(1);
}
