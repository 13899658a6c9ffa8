#include "UFormStatusPanel.h"

#include <QEvent>
#include <QFontMetrics>

void TStatusPanel::SetFullText(const QString &Text)
{
    Full = Text;
    Elide();
}

void TStatusPanel::resizeEvent(QResizeEvent *Event)
{
    QLabel::resizeEvent(Event);
    Elide();
}

void TStatusPanel::changeEvent(QEvent *Event)
{
    QLabel::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        Elide();
}

// The middle goes, so a long name's start and its extension both stay.
void TStatusPanel::Elide()
{
    const QString Shown = fontMetrics().elidedText(Full, Qt::ElideMiddle, contentsRect().width());
    if (Shown != text())
        setText(Shown);
    setToolTip(Shown == Full ? QString() : Full);
}
