#pragma once
#include <QDialog>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

/// The text as the enable rules see it: every character up to U+0020 taken from both ends.
QString TrimControls(const QString& text);

/// The find dialog: the search text and four options. It is made once and only hidden between
/// uses, so what was typed and ticked last is there for the next search and for "Find again".
/// exec() ends with Accepted from "Find" and with Rejected from "Close", Esc or the close box.
class TFindForm : public QDialog
{
    Q_OBJECT
public:
    explicit TFindForm(QWidget* parent = nullptr);

    /// The search text exactly as typed, leading and trailing blanks included.
    QString FindText() const;
    bool FindInOriginal() const;
    bool FindInTranslated() const;
    bool CaseSensitive() const;
    /// '*' and '?' are ordinary characters, never a mask.
    bool MasksAsOrdinary() const;
    /// The search text holds more than blanks and control characters, so it can be searched.
    bool HasSearchText() const;

    QLabel* FindLabel() const { return m_findLabel; }
    QLineEdit* FindEdit() const { return m_findEdit; }
    QAction* FindNextAction() const { return m_findNextAction; }
    QPushButton* FindButton() const { return m_findButton; }
    QPushButton* CloseButton() const { return m_closeButton; }
    QCheckBox* OriginalBox() const { return m_originalBox; }
    QCheckBox* TranslatedBox() const { return m_translatedBox; }
    QCheckBox* RegistryBox() const { return m_registryBox; }
    QCheckBox* MaskOrdBox() const { return m_maskOrdBox; }

protected:
    void showEvent(QShowEvent* event) override;

signals:
    /// The search text changed; HasSearchText() may have changed with it.
    void SearchTextChanged();

private:
    void FindNextActionUpdate();
    void FindNextActionExecute();
    void CloseButtonClick();

    QLabel* m_findLabel;
    QLineEdit* m_findEdit;
    QAction* m_findNextAction;
    QPushButton* m_findButton;
    QPushButton* m_closeButton;
    QCheckBox* m_originalBox;
    QCheckBox* m_translatedBox;
    QCheckBox* m_registryBox;
    QCheckBox* m_maskOrdBox;
};
