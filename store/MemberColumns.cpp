#include "MemberColumns.h"

namespace MemberColumns {

namespace {
// The blanks centre the captions over the grid's columns.
constexpr const char16_t* kCaptions[ColumnCount] = {
    u"ID",       u"   姓名",    u"性别",          u"年龄",       u"      电话",
    u"      QQ", u"      邮箱", u"         地址", u"      照片",
};
constexpr const char* kSources[ColumnCount] = {
    "id", "xingming", "xingbie", "nianling", "dianhua", "qq", "youxiang", "dizhi", "zhaopian",
};
} // namespace

QString source(int column)
{
    return (column >= 0 && column < ColumnCount) ? QString::fromLatin1(kSources[column])
                                                 : QString();
}

QString caption(int column)
{
    return (column >= 0 && column < ColumnCount) ? QString::fromUtf16(kCaptions[column])
                                                 : QString();
}

QString text(const Member& m, int column)
{
    switch (column) {
    case Id:
        return QString::number(m.id);
    case Name:
        return m.xingming;
    case Gender:
        return m.xingbie;
    case Age:
        return m.nianling;
    case Phone:
        return m.dianhua;
    case QQ:
        return m.qq;
    case Mail:
        return m.youxiang;
    case Address:
        return m.dizhi;
    case Photo:
        return m.zhaopian;
    default:
        return {};
    }
}

} // namespace MemberColumns
