#include "PhotoHandover.h"

#include <QObject>
#include <QPointer>

namespace PhotoHandover {

namespace {
struct Holder
{
    QPointer<QObject> owner;
    Receiver receiver;
};
Holder& holder()
{
    static Holder h;
    return h;
}
} // namespace

void setReceiver(QObject* owner, Receiver receiver)
{
    holder() = Holder{owner, std::move(receiver)};
}

bool hasReceiver()
{
    return holder().owner && holder().receiver;
}

Status handOver(const QString& photoFile)
{
    if (!hasReceiver())
        return Failure{QStringLiteral("会员窗口没有打开，请先打开会员窗口")};
    return holder().receiver(photoFile);
}

} // namespace PhotoHandover
