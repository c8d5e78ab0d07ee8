#include "platform/exclusivefile.h"

#include <cstring>

CFile::~CFile()
{
    // Only Close() stores: a writer that returns early or throws leaves the old file as it was.
    Abort();
}

bool CFile::Open(const QString& path, Mode mode)
{
    if (m_open || path.isEmpty())
        return false;
    const FileSystem::Access access = mode == modeRead ? FileSystem::Access::Read
        : mode == modeReadWrite                        ? FileSystem::Access::Write
                                                       : FileSystem::Access::Create;
    const FileSystem::OpenStatus status = Fs().OpenExclusive(path, access, m_file);
    // Only a create-always open may find no file: it comes into being whole when Close() commits.
    if (status != FileSystem::OpenStatus::Opened && !(status == FileSystem::OpenStatus::NoFile && mode == modeCreate))
        return false;
    m_path = path;
    m_mode = mode;
    m_open = true;
    m_pos = 0;
    m_dirty = mode == modeCreate;
    m_loaded = mode == modeCreate;
    m_content.clear();
    return true;
}

void CFile::LoadWholeFile()
{
    if (m_loaded)
        return;
    m_content.clear();
    if (m_file.IsOpen()) {
        m_content.resize(kMaxFileReadBytes);
        m_content.truncate(m_file.ReadAt(m_content.data(), kMaxFileReadBytes, 0));
    }
    m_loaded = true;
}

qint64 CFile::Read(char* data, qint64 maxBytes)
{
    if (!m_open || maxBytes <= 0 || m_pos < 0)
        return 0;
    qint64 got = 0;
    if (m_loaded) {
        got = qBound<qint64>(0, qMin<qint64>(maxBytes, m_content.size() - m_pos), maxBytes);
        std::memcpy(data, m_content.constData() + m_pos, size_t(got));
    } else {
        maxBytes = qMin(maxBytes, kMaxFileReadBytes - m_pos);
        got = maxBytes > 0 ? m_file.ReadAt(data, maxBytes, m_pos) : 0;
    }
    m_pos += got;
    return got;
}

QByteArray CFile::Read(qint64 maxBytes)
{
    if (!m_open || maxBytes <= 0 || m_pos < 0)
        return {};
    if (m_loaded) {
        const QByteArray out = m_content.mid(m_pos, maxBytes);
        m_pos += out.size();
        return out;
    }
    maxBytes = qMin(maxBytes, kMaxFileReadBytes - m_pos);
    if (maxBytes <= 0)
        return {};
    QByteArray out(maxBytes, Qt::Uninitialized);
    out.truncate(m_file.ReadAt(out.data(), maxBytes, m_pos));
    m_pos += out.size();
    return out;
}

void CFile::Write(const QByteArray& bytes)
{
    if (!m_open || m_mode == modeRead)
        return;
    LoadWholeFile();
    if (m_content.size() < m_pos)
        m_content.append(QByteArray(m_pos - m_content.size(), '\0'));
    m_content.replace(m_pos, qMin<qint64>(bytes.size(), m_content.size() - m_pos), bytes);
    m_pos += bytes.size();
    m_dirty = true;
}

void CFile::SetLength(qint64 length)
{
    if (!m_open || m_mode == modeRead || length < 0)
        return;
    if (length == 0) {
        m_content.clear();
        m_loaded = true;
    } else {
        LoadWholeFile();
        m_content.resize(length, '\0');
    }
    m_dirty = true;
}

bool CFile::Close()
{
    if (!m_open)
        return false;
    // Holding the lock, we are this file's only writer: what a killed one left is litter.
    const bool ok = !m_dirty || Fs().Replace(m_path, m_content, &m_file);
    Abort();
    return ok;
}

bool CFile::Remove()
{
    if (!m_open)
        return false;
    const bool removed = m_file.IsOpen() && Fs().Remove(m_path, &m_file);
    Abort();
    return removed;
}

void CFile::Abort()
{
    m_file.Close(); // releases the lock
    m_open = false;
    m_dirty = false;
    m_loaded = false;
    m_content.clear();
    m_pos = 0;
}
