#include "platform/messageport.h"

#include "platform/filenames.h"

#include <cstdio>

namespace {

class StderrMessagePort final : public MessagePort
{
public:
    void ShowMessage(const QString& text) override
    {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    bool AskYesNo(const QString& text) override
    {
        ShowMessage(text);
        return false;
    }
};

StderrMessagePort g_stderrPort;
MessagePort* g_port = &g_stderrPort;
thread_local MessagePort* t_port = nullptr; // this thread's own port, in front of g_port

MessagePort& Port()
{
    return t_port ? *t_port : *g_port;
}

} // namespace

void SetMessagePort(MessagePort* port)
{
    g_port = port ? port : &g_stderrPort;
}

MessagePort& CurrentMessagePort()
{
    return *g_port;
}

// A person reads these: names show in their readable form, never as raw bytes.
void ShowMessage(const QString& text)
{
    Port().ShowMessage(ReadableName(text));
}

bool AskYesNo(const QString& text)
{
    return Port().AskYesNo(ReadableName(text));
}

ThreadMessagePort::ThreadMessagePort(MessagePort& port)
    : m_previous(t_port)
{
    t_port = &port;
}

ThreadMessagePort::~ThreadMessagePort()
{
    t_port = m_previous;
}

QString FormatMessage(const QString& format, std::initializer_list<QString> values)
{
    QString out;
    out.reserve(format.size() + 64);
    auto value = values.begin();
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u's' && value != values.end()) {
            out += ReadableName(*value++);
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}
