#pragma once

#include <QString>
#include <QtGlobal>

// One row of table user, every value as the text it is stored as.
struct Member
{
    qint64 id = 0;
    QString xingming; // name
    QString xingbie;  // gender
    QString nianling; // age
    QString dianhua;  // telephone
    QString qq;
    QString youxiang; // e-mail
    QString dizhi;    // postal address
    QString zhaopian; // full path of the photo file
};
