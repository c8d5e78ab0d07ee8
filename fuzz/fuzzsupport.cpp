#include "fuzzsupport.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

std::int64_t FuzzInput::TakeInt64()
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = value << 8 | TakeByte();
    return static_cast<std::int64_t>(value);
}

std::int32_t FuzzInput::TakeInt32()
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | TakeByte();
    return static_cast<std::int32_t>(value);
}

std::uint8_t FuzzInput::TakeByte()
{
    return m_pos < m_size ? m_data[m_pos++] : 0;
}

QByteArray FuzzInput::Rest() const
{
    return QByteArray(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(m_size - m_pos));
}

QString FuzzInput::RestAsLatin1() const
{
    return QString::fromLatin1(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(m_size - m_pos));
}

FuzzFolder::FuzzFolder()
{
    const char* base = std::getenv("TMPDIR");
    QByteArray pattern = QByteArray(base && *base ? base : "/tmp") + "/qbfuzz.XXXXXX";
    if (!::mkdtemp(pattern.data()))
        FuzzFail("cannot create a temporary folder");
    m_path = QFile::decodeName(pattern);
}

FuzzFolder::~FuzzFolder()
{
    QDir(m_path).removeRecursively();
}

void PutBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        FuzzFail("cannot write the input file");
}

QByteArray GetBytes(const QString& path, bool& exists)
{
    QFile file(path);
    exists = file.open(QIODevice::ReadOnly);
    return exists ? file.readAll() : QByteArray();
}

void FuzzFail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
