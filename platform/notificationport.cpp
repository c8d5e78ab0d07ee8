#include "platform/notificationport.h"

#include <QStringList>

namespace {

class SilentNotificationPort final : public NotificationPort
{
public:
    void Notify(const QString&, const QString&) override {}
    void CloseAll() override {}
};

SilentNotificationPort g_silent;
NotificationPort* g_notifications = &g_silent;
std::function<void()> g_onActivated;

} // namespace

void SetNotificationPort(NotificationPort* port)
{
    g_notifications = port ? port : &g_silent;
}

NotificationPort& Notifications()
{
    return *g_notifications;
}

void SetNotificationActivation(std::function<void()> handler)
{
    g_onActivated = std::move(handler);
}

void RunNotificationActivation()
{
    // A copy: the handler may replace itself while it runs.
    const std::function<void()> handler = g_onActivated;
    if (handler)
        handler();
}

namespace {

bool IsDirectionControl(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString NotificationLine(QStringView text)
{
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            line += text[i];
            line += text[++i];
        } else if (c == u'\t') {
            line += u' ';
        } else if (IsControl(c) || QChar::isSurrogate(c)) {
            line += QChar(QChar::ReplacementCharacter);
        } else if (!IsDirectionControl(c)) {
            line += QChar(c);
        }
    }
    return line;
}

QString NotificationText(QStringView text)
{
    QStringList lines;
    for (const QStringView line : text.split(u'\n'))
        lines.append(NotificationLine(line));
    return lines.join(u'\n');
}

QString BoundedText(QStringView text, qsizetype maxChars)
{
    qsizetype end = 0;
    for (qsizetype chars = 0; end < text.size(); ++chars) {
        if (chars == maxChars)
            return text.first(end).toString() + u'…';
        end += QChar::isHighSurrogate(text[end].unicode()) && end + 1 < text.size()
                       && QChar::isLowSurrogate(text[end + 1].unicode())
                   ? 2
                   : 1;
    }
    return text.toString();
}
