#pragma once
// Dialog units to pixels, from the base units of the dialog's font: a horizontal unit is a quarter
// of the average character width, a vertical unit an eighth of the character height.
#include <QFont>
#include <QRect>

class DialogUnits
{
public:
    explicit DialogUnits(const QFont& font);
    int X(int du) const { return du * m_baseX / 4; }
    int Y(int du) const { return du * m_baseY / 8; }
    QRect Rect(int x, int y, int width, int height) const { return QRect(X(x), Y(y), X(width), Y(height)); }

private:
    int m_baseX;
    int m_baseY;
};
