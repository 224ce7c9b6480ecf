#pragma once

#include <QString>
#include <QUrl>

// The maker of the register, named on the panels, the member window and the address window.
namespace Maker {

inline const QString kContactMail = QStringLiteral("dingzhi@oldmere-studio.cn");
inline const QUrl kWebPage = QUrl(QStringLiteral("https://www.oldmere-studio.cn/"));

} // namespace Maker
