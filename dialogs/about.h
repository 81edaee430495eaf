#pragma once
#include "infoform.h"

class DialogSeam;
class QLabel;

/// The About dialog: the banner, the version line of this build and the two address labels,
/// which underline while the pointer is over them and hand their text to the desktop on a click.
class TAboutForm : public TInfoForm
{
    Q_OBJECT
public:
    explicit TAboutForm(DialogSeam& seam, QWidget* parent = nullptr);

    QLabel* Image() const { return m_image; }
    QLabel* VersionLabel() const { return m_versionLabel; }
    QLabel* HttpLabel() const { return m_httpLabel; }
    QLabel* MailLabel() const { return m_mailLabel; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FitAddresses();
    void FormCreate();
    void MailLabelClick(QLabel* label);
    void MailLabelMouseMove(QLabel* label, QPoint pos);
    void SetHover(QLabel* label, bool inside);

    DialogSeam& m_seam;
    QLabel* m_image;
    QLabel* m_versionLabel;
    QLabel* m_httpLabel;
    QLabel* m_mailLabel;
};
