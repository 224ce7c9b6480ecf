#include "PanelActions.h"

#include "Dialogs.h"
#include "Form.h"
#include "Forms.h"
#include "Maker.h"
#include "PhotoFiles.h"

namespace PanelActions {

bool prepareFolders(Form* window)
{
    if (Status folders = PhotoFiles::prepareFolders(); !folders)
        Dialogs::current().message(window, folders.error(), QStringLiteral("系统显示"),
                                   Dialogs::Icon::Critical);
    if (PhotoFiles::defaultPhotoExists())
        return true;
    Dialogs::current().message(window,
                               QStringLiteral("您的操作系统中暂时没有默认图片，请添加会员默认照片"),
                               QStringLiteral("系统显示"));
    Forms::instance().unload(window);
    Forms::instance().show(QStringLiteral("tiantu"));
    return false;
}

void openMembers(Form* window)
{
    Forms::instance().replace(window, QStringLiteral("xianshi"));
}

void openAddressSummary(Form* window)
{
    Forms::instance().replace(window, QStringLiteral("mail"));
}

void showMakerNotice(Form* window)
{
    Dialogs::current().message(window,
                               QStringLiteral("定做细则请写邮件发送至") + Maker::kContactMail,
                               QStringLiteral("软件开发"));
}

void openMakerPage()
{
    Dialogs::current().openUrl(Maker::kWebPage);
}

void openPasswordChange()
{
    Forms::instance().show(QStringLiteral("mimaxiugai"));
}

} // namespace PanelActions
