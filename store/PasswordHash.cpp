#include "PasswordHash.h"

#include <sodium.h>

namespace PasswordHash {

namespace {
bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}
} // namespace

Result<QString> hash(const QString& password)
{
    if (!sodiumReady())
        return Failure{QStringLiteral("密码加密组件无法初始化")};
    const QByteArray bytes = password.trimmed().toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return Failure{QStringLiteral("内存不足，无法加密口令")};
    return QString::fromLatin1(out);
}

bool isHash(const QString& stored)
{
    return stored.startsWith(QLatin1String("$argon2id$"));
}

bool matches(const QString& stored, const QString& typed)
{
    const QString wanted = typed.trimmed();
    if (!isHash(stored))
        return stored.trimmed() == wanted;
    if (!sodiumReady())
        return false;
    const QByteArray hashText = stored.toLatin1();
    const QByteArray bytes = wanted.toUtf8();
    return crypto_pwhash_str_verify(hashText.constData(), bytes.constData(),
                                    static_cast<unsigned long long>(bytes.size())) == 0;
}

} // namespace PasswordHash
