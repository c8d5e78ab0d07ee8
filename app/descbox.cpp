#include "app/descbox.h"

#include <QPlainTextEdit>
#include <QTextDocument>

DescriptionBox::DescriptionBox(QPlainTextEdit* edit)
    : QObject(edit)
    , m_edit(edit)
{
    connect(edit->document(), &QTextDocument::contentsChange, this, &DescriptionBox::OnContentsChange);
    SetText(QString());
}

void DescriptionBox::SetText(const QString& desc)
{
    DescBoxText box = DescToBox(desc);
    m_setting = true;
    m_edit->setPlainText(box.raw);
    m_setting = false;
    m_stored = desc;
    m_edited = false;
    m_units = std::move(box.units);
    // A box that made something else of the text keeps no stored forms.
    if (m_edit->document()->toRawText() != box.raw)
        m_units.assign(m_units.size(), kDescText);
    m_units.resize(m_edit->document()->characterCount(), kDescText);
}

QString DescriptionBox::Text() const
{
    return m_edited ? DescFromBox(m_edit->document()->toRawText(), m_units) : m_stored;
}

void DescriptionBox::OnContentsChange(int position, int removed, int added)
{
    if (m_setting)
        return;
    m_edited = true;
    // The counts may take in the document's closing paragraph end, so they are held to its size.
    const std::size_t at = std::min<std::size_t>(std::max(position, 0), m_units.size());
    const std::size_t gone = std::min<std::size_t>(std::max(removed, 0), m_units.size() - at);
    m_units.erase(m_units.begin() + at, m_units.begin() + at + gone);
    m_units.insert(m_units.begin() + at, std::size_t(std::max(added, 0)), kDescText);
    // Counts that do not add up leave no way to tell which break is which: all count as entered.
    const std::size_t size = m_edit->document()->characterCount();
    if (m_units.size() != size)
        m_units.assign(size, kDescText);
}
