#include "../support/fixture.h"
#include "modal.h"
#include "qtdialogseam.h"
#include "stringtable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

/// A desktop that wants the affirmative button last, as GNOME does.
class AffirmativeLastStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_DialogButtonLayout)
            return QDialogButtonBox::GnomeLayout;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

/// The message box's button captions from left to right.
QStringList ButtonsLeftToRight(QMessageBox* box)
{
    QList<QAbstractButton*> buttons = box->buttons();
    std::sort(buttons.begin(), buttons.end(), [box](QAbstractButton* a, QAbstractButton* b) {
        return a->mapTo(box, QPoint()).x() < b->mapTo(box, QPoint()).x();
    });
    QStringList texts;
    for (QAbstractButton* b : buttons)
        texts << b->text();
    return texts;
}

/// How far the box is from the middle of its screen.
int OffCentre(QWidget* box)
{
    const QPoint d = box->frameGeometry().center() - box->screen()->availableGeometry().center();
    return d.manhattanLength();
}

const QVector<std::pair<QString, QString>> TemplateFilters{
    {"Template files (Vorlane 4.x)", "lang-TEMPLATE*.php*;lang-english*.php*"},
    {"Language files  (Vorlane 5.x)", "lang-*.php*"},
    {"PHP-files", "*.php*"},
    {"All files", "*.*"},
};

} // namespace

Q_DECLARE_METATYPE(FileChooserOptions::Kind)
Q_DECLARE_METATYPE(DialogSeam::Answer)
Q_DECLARE_METATYPE(std::optional<bool>)

class TestQtDialogSeam : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void nameFilter_data();
    void nameFilter();
    void chooseFile_data();
    void chooseFile();
    void confirm_data();
    void confirm();
    void errorAndNotice_data();
    void errorAndNotice();
    void chooseFont_data();
    void chooseFont();

private:
    QWidget m_main; // off the screen's centre, so "centred on the screen" means something
};

void TestQtDialogSeam::initTestCase()
{
    QApplication::setStyle(new AffirmativeLastStyle);
    m_main.setGeometry(20, 20, 300, 200);
    m_main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_main));
}

void TestQtDialogSeam::nameFilter_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<QString>("expected");

    QTest::newRow("label with its own parenthesis")
        << "Template files (Vorlane 4.x)"
        << "lang-TEMPLATE*.php*;lang-english*.php*"
        << "Template files (Vorlane 4.x) (lang-TEMPLATE*.php* lang-english*.php*)";
    QTest::newRow("two blanks kept") << "Language files  (Vorlane 5.x)"
                                     << "lang-*.php*"
                                     << "Language files  (Vorlane 5.x) (lang-*.php*)";
    QTest::newRow("star in the extension") << "PHP-files"
                                           << "*.php*"
                                           << "PHP-files (*.php*)";
    QTest::newRow("blanks and empty parts") << "Both"
                                            << " *.lng ;;*.pp"
                                            << "Both (*.lng *.pp)";
#ifdef Q_OS_WIN
    QTest::newRow("all files") << "All files"
                               << "*.*"
                               << "All files (*.*)";
#else
    // Otherwise "All files" would hide every file without a dot in its name.
    QTest::newRow("all files") << "All files"
                               << "*.*"
                               << "All files (*)";
    QTest::newRow("all files among others") << "Any"
                                            << "*.lng;*.*"
                                            << "Any (*.lng *)";
#endif
}

void TestQtDialogSeam::nameFilter()
{
    QFETCH(QString, label);
    QFETCH(QString, patterns);
    QFETCH(QString, expected);
    QCOMPARE(QtNameFilter(label, patterns), expected);
}

void TestQtDialogSeam::chooseFile_data()
{
    // typed: the name entered into the chooser, relative to the preset file's folder, or empty
    // to cancel. chosen: the file name expected back, or empty for nothing. replace: the answer
    // to the question before an existing file is replaced, or nothing where none may come.
    QTest::addColumn<FileChooserOptions::Kind>("kind");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<std::optional<bool>>("replace");
    const std::optional<bool> noQuestion;

    using K = FileChooserOptions::Kind;
    QTest::newRow("open a name that does not exist") << K::Open << "php"
                                                     << "fresh"
                                                     << "fresh.php" << noQuestion;
    QTest::newRow("open keeps a typed extension") << K::Open << "php"
                                                  << "fresh.lng"
                                                  << "fresh.lng" << noQuestion;
    QTest::newRow("open an existing file") << K::Open << ""
                                           << "existing.php"
                                           << "existing.php" << noQuestion;
    QTest::newRow("save adds nothing") << K::Save << ""
                                       << "plain"
                                       << "plain" << noQuestion;
    QTest::newRow("save over a file, replace confirmed")
        << K::Save << ""
        << "existing.php"
        << "existing.php" << std::optional<bool>(true);
    QTest::newRow("save over a file, replace refused") << K::Save << ""
                                                       << "existing.php"
                                                       << "" << std::optional<bool>(false);
    QTest::newRow("open cancelled") << K::Open << "php"
                                    << ""
                                    << "" << noQuestion;
}

void TestQtDialogSeam::chooseFile()
{
    QFETCH(FileChooserOptions::Kind, kind);
    QFETCH(QString, suffix);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(std::optional<bool>, replace);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteFixture(dir, QStringLiteral("existing.php"), QByteArray());

    QtDialogSeam seam(&m_main);
    FileChooserOptions options;
    options.kind = kind;
    options.title = QStringLiteral("Select translation file");
    options.filters = TemplateFilters;
    options.defaultSuffix = suffix;
    options.fileName = dir.filePath(QStringLiteral("lang-TEMPLATE.php"));
    options.selectedFilter = 2;

    QString title, presetName, selectedFilter, directory, shownLabel;
    QFileDialog::Options dialogOptions;
    QFileDialog::FileMode fileMode = QFileDialog::Directory;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    bool askedToOverwrite = false;
    WhenModal([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        if (!chooser)
            return;
        title = chooser->windowTitle();
        selectedFilter = chooser->selectedNameFilter();
        directory = chooser->directory().absolutePath();
        dialogOptions = chooser->options();
        fileMode = chooser->fileMode();
        acceptMode = chooser->acceptMode();
        if (auto* edit = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            presetName = edit->text();
        if (auto* combo = chooser->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
            shownLabel = combo->itemText(0);
        if (typed.isEmpty()) {
            chooser->reject();
            return;
        }
        chooser->selectNameFilter(chooser->nameFilters().at(1));
        chooser->selectFile(typed);
        // A question about overwriting opens a box of its own: note it and answer it.
        QTimer::singleShot(0, qApp, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                askedToOverwrite = true;
                if (replace.value_or(false))
                    box->button(QMessageBox::Yes)->click();
                else
                    box->reject();
            }
        });
        static_cast<QDialog*>(chooser)->accept(); // what the Open or Save button does
        // After No the chooser stays open for another name; the user then cancels it.
        if (chooser->isVisible())
            chooser->reject();
    });
    const std::optional<QString> result = seam.ChooseFile(options);

    QCOMPARE(title, QStringLiteral("Select translation file"));
    QCOMPARE(presetName, QStringLiteral("lang-TEMPLATE.php"));
    QCOMPARE(directory, QDir(dir.path()).absolutePath());
    QCOMPARE(selectedFilter, TemplateFilters[2].first); // the patterns are not shown
    QCOMPARE(shownLabel, QStringLiteral("Template files (Vorlane 4.x)"));
    QCOMPARE(fileMode, QFileDialog::AnyFile);
    QCOMPARE(acceptMode, kind == FileChooserOptions::Kind::Save ? QFileDialog::AcceptSave
                                                                : QFileDialog::AcceptOpen);
    QVERIFY(!(dialogOptions & QFileDialog::ReadOnly));
    QCOMPARE(askedToOverwrite, replace.has_value());

    if (chosen.isEmpty()) {
        QVERIFY(!result);
        QCOMPARE(options.selectedFilter, 2);
        QCOMPARE(options.fileName, dir.filePath(QStringLiteral("lang-TEMPLATE.php")));
    } else {
        QVERIFY(result);
        QCOMPARE(*result, dir.filePath(chosen));
        QCOMPARE(options.selectedFilter, 1);
        QCOMPARE(options.fileName, *result);
    }
}

void TestQtDialogSeam::confirm_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<DialogSeam::Answer>("answer");

    QTest::newRow("Yes") << "&Yes" << DialogSeam::Answer::Yes;
    QTest::newRow("No") << "&No" << DialogSeam::Answer::No;
    QTest::newRow("Cancel") << "Cancel" << DialogSeam::Answer::Cancel;
    QTest::newRow("Enter takes the default") << "enter" << DialogSeam::Answer::Yes;
    QTest::newRow("Esc") << "esc" << DialogSeam::Answer::Cancel;
    QTest::newRow("close box") << "close" << DialogSeam::Answer::Cancel;
}

void TestQtDialogSeam::confirm()
{
    QFETCH(QString, how);
    QFETCH(DialogSeam::Answer, answer);

    QtDialogSeam seam(&m_main);
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    int offCentre = -1;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = ButtonsLeftToRight(box);
        offCentre = OffCentre(box);
        if (how == QLatin1String("enter")) {
            QTest::keyClick(box, Qt::Key_Return);
        } else if (how == QLatin1String("esc")) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (how == QLatin1String("close")) {
            box->close();
        } else {
            for (QAbstractButton* b : box->buttons())
                if (b->text() == how)
                    b->click();
        }
    });
    QCOMPARE(seam.Confirm(QStringLiteral("Current translation not saved. Save this?")), answer);

    QCOMPARE(title, QStringLiteral("Confirm"));
    QCOMPARE(text, QStringLiteral("Current translation not saved. Save this?"));
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(buttons, (QStringList{"&Yes", "&No", "Cancel"}));
    QVERIFY2(offCentre >= 0 && offCentre <= 2, qPrintable(QString::number(offCentre)));
}

void TestQtDialogSeam::errorAndNotice_data()
{
    QTest::addColumn<bool>("error");
    QTest::addColumn<QMessageBox::Icon>("icon");
    QTest::newRow("error") << true << QMessageBox::Critical;
    QTest::newRow("notice") << false << QMessageBox::NoIcon;
}

void TestQtDialogSeam::errorAndNotice()
{
    QFETCH(bool, error);
    QFETCH(QMessageBox::Icon, icon);

    // Markup in a message is text to show, never formatting.
    const QString message = QStringLiteral("Cannot open file <b>x</b>.php.");
    QtDialogSeam seam(&m_main);
    QString title, text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon shownIcon = QMessageBox::Warning;
    QStringList buttons;
    int offCentre = -1;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        format = box->textFormat();
        shownIcon = box->icon();
        buttons = ButtonsLeftToRight(box);
        offCentre = OffCentre(box);
        QTest::keyClick(box, Qt::Key_Return);
    });
    if (error)
        seam.ShowError(message);
    else
        seam.ShowNotice(message);

    QCOMPARE(title, QString::fromLatin1(strings::ApplicationTitle));
    QCOMPARE(text, message);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shownIcon, icon);
    QCOMPARE(buttons, QStringList{"OK"});
    QVERIFY2(offCentre >= 0 && offCentre <= 2, qPrintable(QString::number(offCentre)));
}

void TestQtDialogSeam::chooseFont_data()
{
    // pick: the colour chosen from the list, empty to leave it, "cancel" to cancel.
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("given");
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QColor>("returned");

    // A plain DejaVu Sans must not come back oblique: its upright style is not its first one.
    QTest::newRow("plain font, colour left")
        << false << QColor(Qt::black) << "" << QColor(Qt::black);
    QTest::newRow("bold font, red picked") << true << QColor(Qt::black) << "Red" << QColor(Qt::red);
    QTest::newRow("own colour kept")
        << false << QColor(0x12, 0x34, 0x56) << "" << QColor(0x12, 0x34, 0x56);
    QTest::newRow("cancelled") << false << QColor(Qt::black) << "cancel" << QColor();
}

void TestQtDialogSeam::chooseFont()
{
    QFETCH(bool, bold);
    QFETCH(QColor, given);
    QFETCH(QString, pick);
    QFETCH(QColor, returned);

    QtDialogSeam seam(&m_main);
    QFont font(QStringLiteral("DejaVu Sans"), 11);
    font.setBold(bold);
    bool hasColorList = false;
    WhenModal([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFontDialog*>(modal);
        if (!chooser)
            return;
        auto* colors = chooser->findChild<QComboBox*>(QStringLiteral("ColorBox"));
        hasColorList = colors && colors->isVisible();
        if (pick == QLatin1String("cancel")) {
            chooser->reject();
            return;
        }
        if (colors && !pick.isEmpty())
            colors->setCurrentIndex(colors->findText(pick));
        chooser->accept();
    });
    const auto result = seam.ChooseFont(font, given);

    QVERIFY(hasColorList);
    if (!returned.isValid()) {
        QVERIFY(!result);
        return;
    }
    QVERIFY(result);
    const QFontInfo chosen(result->first);
    QCOMPARE(chosen.family(), QFontInfo(font).family());
    QCOMPARE(chosen.bold(), bold);
    QVERIFY(!chosen.italic());
    QCOMPARE(chosen.pointSize(), 11);
    QCOMPARE(result->second, returned);
}

QTEST_MAIN(TestQtDialogSeam)
#include "tst_qtdialogseam.moc"
