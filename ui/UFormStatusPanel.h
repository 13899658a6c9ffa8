// The status bar's panel: shows its text elided to the panel's width and
// keeps the whole text for whoever asks.
#pragma once

#include <QLabel>
#include <QString>

class TStatusPanel : public QLabel {
public:
    using QLabel::QLabel;

    void SetFullText(const QString &Text);
    const QString &FullText() const { return Full; }

protected:
    void resizeEvent(QResizeEvent *Event) override;
    void changeEvent(QEvent *Event) override;

private:
    void Elide();

    QString Full;
};
