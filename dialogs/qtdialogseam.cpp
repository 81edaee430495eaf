#include "qtdialogseam.h"
#include "stringtable.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleFactory>

QString QtNameFilter(const QString& label, const QString& patterns)
{
    QStringList list;
    for (const QString& part : patterns.split(u';', Qt::SkipEmptyParts)) {
        QString pattern = part.trimmed();
        if (pattern.isEmpty())
            continue;
#ifndef Q_OS_WIN
        if (pattern == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
#endif
        list << pattern;
    }
    // Qt reads the patterns from the last parenthesis, so labels may carry their own.
    return label + QStringLiteral(" (") + list.join(u' ') + u')';
}

namespace {

/// Keeps a button box in the Yes, No, Cancel order whatever order the desktop prefers for it.
class ButtonOrderStyle : public QProxyStyle
{
public:
    ButtonOrderStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::WinLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

void FixButtonOrder(QMessageBox& box)
{
    if (auto* buttons = box.findChild<QDialogButtonBox*>()) {
        auto* style = new ButtonOrderStyle;
        style->setParent(buttons);
        buttons->setStyle(style);
    }
}

/// Some desktops decorate standard buttons with pictures; the boxes' buttons are words alone,
/// like the Yes, No and Cancel of the confirmation box.
void PlainOkButton(QMessageBox& box)
{
    if (QAbstractButton* ok = box.button(QMessageBox::Ok)) {
        ok->setText(QStringLiteral("OK"));
        ok->setIcon(QIcon());
    }
}

QString AppTitle()
{
    return QString::fromLatin1(strings::ApplicationTitle);
}

struct NamedColor
{
    const char* name;
    QRgb rgb;
};

// The sixteen colours font choosers have always offered for a font.
constexpr NamedColor BasicColors[] = {
    {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF},
};

QIcon Swatch(const QColor& color, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(color);
    return QIcon(pixmap);
}

/// Adds the colour list to the font dialog's effects group, the group that holds the check
/// boxes. Returns nothing when the dialog has no such group.
QComboBox* AddColorList(QFontDialog& dialog, const QColor& color)
{
    QGroupBox* effects = nullptr;
    for (QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
        if (group->findChild<QCheckBox*>()) {
            effects = group;
            break;
        }
    }
    auto* layout = effects ? qobject_cast<QBoxLayout*>(effects->layout()) : nullptr;
    if (!layout)
        return nullptr;

    auto* combo = new QComboBox(effects);
    combo->setObjectName(QStringLiteral("ColorBox"));
    const int swatch = combo->fontMetrics().height() - 2;
    int current = -1;
    for (const NamedColor& named : BasicColors) {
        const QColor c(named.rgb);
        if (color.isValid() && c.rgb() == color.rgb())
            current = combo->count();
        combo->addItem(Swatch(c, swatch), QString::fromLatin1(named.name), c);
    }
    if (current < 0) {
        current = combo->count();
        combo->addItem(Swatch(color, swatch), QStringLiteral("Custom"), color);
    }
    combo->setCurrentIndex(current);

    auto* label = new QLabel(QStringLiteral("&Color:"), effects);
    label->setBuddy(combo);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(combo, 1);
    layout->addLayout(row);
    return combo;
}

} // namespace

std::optional<QString> QtDialogSeam::ChooseFile(FileChooserOptions& options)
{
    QFileDialog dialog(m_parent, options.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (options.kind == FileChooserOptions::Kind::Save) {
        // The chooser asks before it hands back a file that exists, as choosers do: the caller
        // takes a chosen name as the user's word that the file may be replaced.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
    }

    QStringList filters;
    for (const auto& [label, patterns] : options.filters)
        filters << QtNameFilter(label, patterns);
    dialog.setNameFilters(filters);
    if (options.selectedFilter >= 0 && options.selectedFilter < filters.size())
        dialog.selectNameFilter(filters.at(options.selectedFilter));
    dialog.setDefaultSuffix(options.defaultSuffix);
    if (!options.fileName.isEmpty())
        dialog.selectFile(options.fileName);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;

    // Qt keeps the filters with their blanks simplified and, with the patterns hidden,
    // reports the chosen one by its label alone.
    const QString selected = dialog.selectedNameFilter().simplified();
    for (qsizetype i = 0; i < filters.size(); ++i) {
        if (filters.at(i).simplified() == selected ||
            options.filters.at(i).first.simplified() == selected) {
            options.selectedFilter = int(i);
            break;
        }
    }
    options.fileName = chosen.first();
    return chosen.first();
}

DialogSeam::Answer QtDialogSeam::Confirm(const QString& text)
{
    // No parent: the box is centred on the screen, not over the window that asks.
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel); // also the answer of the close button
    FixButtonOrder(box);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == no)
        return Answer::No;
    return Answer::Cancel;
}

bool QtDialogSeam::Ask(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, AppTitle(), text, QMessageBox::NoButton, m_parent);
    box.setTextFormat(Qt::PlainText);
    QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    FixButtonOrder(box);
    box.exec();
    return box.clickedButton() == yes;
}

void QtDialogSeam::ShowError(const QString& text)
{
    QMessageBox box(QMessageBox::Critical, AppTitle(), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    PlainOkButton(box);
    box.exec();
}

void QtDialogSeam::ShowNotice(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, AppTitle(), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    PlainOkButton(box);
    box.exec();
}

std::optional<std::pair<QFont, QColor>> QtDialogSeam::ChooseFont(const QFont& font,
                                                                 const QColor& color)
{
    // Given a font without a style name, QFontDialog selects the family's first style, which
    // for a family whose upright style is called "Book" (DejaVu Sans) is "Oblique": OK without
    // a change would return an italic font. Naming the style the font resolves to avoids it.
    QFont preset = font;
    if (preset.styleName().isEmpty()) {
        const QFontInfo resolved(font);
        if (QFontDatabase::styles(resolved.family()).contains(resolved.styleName()))
            preset.setStyleName(resolved.styleName());
    }
    QFontDialog dialog(preset, m_parent);
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    QComboBox* colors = AddColorList(dialog, color);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return std::pair{dialog.selectedFont(), colors ? colors->currentData().value<QColor>() : color};
}

void QtDialogSeam::OpenUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}
