#pragma once

// The world the member window's record tests start from: a fresh program folder with a store made
// as talvio-admin makes it, generated members and three named ones with photos of their own
// colours, watching dialogs, and the member window driven by its controls' names.

#include "AppSetup.h"
#include "Database.h"
#include "MemberWindow.h"
#include "Module1.h"
#include "RecordFixture.h"

#include <QApplication>

#include <optional>

namespace MemberTests {

using namespace Qt::StringLiterals;
using namespace RecordTests;

inline const QString kDone = u"成功信息"_s;
inline const QString kInfo = u"系统信息"_s;
inline const QString kAdded = line(u"学员录入完毕"_s, kDone);
inline const QString kDeleted = line(u"学员删除完毕"_s, kDone);
inline const QString kSelfUpdate =
    line(u"数据库内只有1条这样的会员记录，可以自更新"_s, u"返回库内数据条数"_s);
inline const QString kUpdated = line(u"更新成功"_s, kInfo);
inline const QString kNotUpdated = line(u"更新失败"_s, kInfo);
inline const QString kClearQuestion =
    line(u"你选择了清空系统数据库！\r\n是否真的清空？"_s, u"系统操作"_s, Dialogs::Icon::None,
         Dialogs::Buttons::YesNo);

class MemberWorld
{
public:
    std::optional<TestFolder> folder;
    WatchingDialogs* dialogs = nullptr;

    static void prepareApplication()
    {
        AppSetup::prepareApplication(*qobject_cast<QApplication*>(QCoreApplication::instance()));
        AppSetup::registerWindows();
        AppSetup::showBusyWhileWaiting();
        Database::setLockWait(100); // a locked store answers at once; the wait is not the point
    }
    void begin()
    {
        folder.emplace();
        dialogs = &m_script.emplace().get();
    }
    void end()
    {
        closeAllForms();
        m_script.reset();
        folder.reset();
    }

    // `generated` members, then `sharing` members with telephone 777, then 张三 111 (red),
    // 李四 222 (green) and 王五 333 (blue); on page 1 王五 is row 0 and 李四 row 1.
    void fill(int generated = 0, int sharing = 0)
    {
        prepareStore(*folder, generated);
        for (int i = 0; i < sharing; ++i)
            addMember(*folder, u"共用%1"_s.arg(i), u"777"_s);
        addMember(*folder, u"张三"_s, u"111"_s, {}, QColor(200, 40, 40));
        addMember(*folder, u"李四"_s, u"222"_s, {}, QColor(40, 200, 40));
        addMember(*folder, u"王五"_s, u"333"_s, {}, QColor(40, 40, 200));
    }
    Window start(int generated = 0, int sharing = 0)
    {
        fill(generated, sharing);
        return openWindow();
    }
    QString photo(const QString& fileName) const { return photoPath(*folder, fileName); }
    QStringList said() const { return summaries(dialogs->calls); }
    QStringList changes(const Snapshot& before) const
    {
        return differences(before, snapshot(*folder));
    }

private:
    std::optional<DialogScript> m_script;
};

} // namespace MemberTests
