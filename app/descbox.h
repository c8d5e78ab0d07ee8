#pragma once
// The settings dialog's description box, kept faithful to the stored text: a description the user
// leaves alone is handed back unit for unit, and in an edited one every stored line break the user
// did not touch keeps its form (a lone CR or LF stays one). Breaks entered in the box are CR LF.
#include "edit/descbreaks.h"

#include <QObject>
#include <QString>

#include <vector>

class QPlainTextEdit;

class DescriptionBox final : public QObject
{
public:
    explicit DescriptionBox(QPlainTextEdit* edit);

    // Puts a stored description into the box.
    void SetText(const QString& desc);
    // The description as the box holds it now.
    QString Text() const;

private:
    void OnContentsChange(int position, int removed, int added);

    QPlainTextEdit* m_edit;
    QString m_stored;
    // Per position of the box's document (its raw text and the closing paragraph end): what the
    // unit was in m_stored; units entered since are kDescText.
    std::vector<DescUnit> m_units;
    bool m_edited = false;
    bool m_setting = false;
};
