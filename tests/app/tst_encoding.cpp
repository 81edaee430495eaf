#include "../support/fixture.h"
#include "gridkeys.h"
#include "mainform.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "scriptedseam.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>

namespace {

const QByteArray Template = "<?php\r\n"
                            "define(\"_HELLO\",\"Hello\");\r\n"
                            "define(\"_YES\",\"Yes\");\r\n"
                            "define(\"_ODD\",\"odd\");\r\n"
                            "define(\"_CHARSET\",\"iso-8859-1\");\r\n";
// A Russian translation in windows-1251, which it declares; _ODD holds 0x98, a byte that code
// page leaves undefined.
const QByteArray Russian = "<?php\r\n"
                           "define(\"_HELLO\",\"\xCF\xF0\xE8\xE2\xE5\xF2\");\r\n"
                           "define(\"_YES\",\"Yes\");\r\n"
                           "define(\"_ODD\",\"x\x98y\");\r\n"
                           "define(\"_CHARSET\",\"windows-1251\");\r\n";

QString Data(const char* name)
{
    return QStringLiteral(QUILLMAR_TEST_DATA "/encoding/") + QLatin1String(name);
}

void SendText(QWidget* target, const QString& text)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

} // namespace

class TestEncoding : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void detectsLegacyTranslation();
    void detectsUtf8Pair();
    void switchingChangesOnlyTheView();
    void refusesCharactersTheEncodingLacks();
    void savingKeepsEveryUneditedByte();
    void clipboardGetsUnicode();
    void everyOfferedEncodingWorks();
    void detectsEachFile_data();
    void detectsEachFile();
    void choiceEndsWithTheDocument();
    void differingEncodingToldOncePerOpening();

private:
    void Open(const QByteArray& templ, const QByteArray& translation);
    void OpenFiles(const QString& templ, const QString& translation)
    {
        m_seam->files.enqueue(templ);
        m_seam->files.enqueue(translation);
        m_form->FileOpenAction()->trigger();
    }
    QAction* EncodingAction(const QByteArray& name)
    {
        for (QAction* a : m_form->findChild<QMenu*>("EncodingMenu")->actions())
            if (a->isCheckable() && a->data().toByteArray() == name)
                return a;
        return nullptr;
    }
    QString Shown(int row, int col)
    {
        return m_form->Model()->data(m_form->Model()->index(row, col), Qt::DisplayRole).toString();
    }

    QTemporaryDir* m_dir = nullptr;
    ScriptedSeam* m_seam = nullptr;
    TMainForm* m_form = nullptr;
    QString m_translation;
};

void TestEncoding::init()
{
    m_dir = new QTemporaryDir;
    m_seam = new ScriptedSeam;
    m_form = new TMainForm(*m_seam);
}

void TestEncoding::cleanup()
{
    QCOMPARE(m_seam->unexpected, 0);
    m_form->Document().ClearDocument();
    delete m_form;
    delete m_seam;
    delete m_dir;
}

void TestEncoding::Open(const QByteArray& templ, const QByteArray& translation)
{
    m_seam->files.enqueue(WriteFixture(*m_dir, "lang-english.php", templ));
    m_translation = WriteFixture(*m_dir, "lang-russian.php", translation);
    m_seam->files.enqueue(m_translation);
    m_form->FileOpenAction()->trigger();
}

void TestEncoding::detectsLegacyTranslation()
{
    Open(Template, Russian);
    QCOMPARE(Shown(0, 2), QString::fromUtf8("Привет"));
    QCOMPARE(m_form->EncodingLabel()->text(), QString("windows-1251"));
}

void TestEncoding::detectsUtf8Pair()
{
    Open(Template, "define(\"_HELLO\",\"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\");\r\n");
    QCOMPARE(Shown(0, 2), QString::fromUtf8("Привет"));
    QCOMPARE(m_form->EncodingLabel()->text(), QString("UTF-8"));
}

void TestEncoding::switchingChangesOnlyTheView()
{
    Open(Template, Russian);
    const QByteArray before = m_form->Document().PhraseTranslation(0);
    QAction* koi8 = nullptr;
    for (QAction* a : m_form->findChild<QMenu*>("EncodingMenu")->actions())
        if (a->data().toByteArray() == "KOI8-R")
            koi8 = a;
    QVERIFY(koi8);
    koi8->trigger();
    QVERIFY(koi8->isChecked());
    QCOMPARE(m_form->EncodingLabel()->text(), QString("KOI8-R"));
    QCOMPARE(Shown(0, 2), QString::fromUtf8("оПХБЕР"));
    QCOMPARE(m_form->Document().PhraseTranslation(0), before);
    QVERIFY(!m_form->Document().Modified());
    QCOMPARE(m_form->ChosenEncoding(), QByteArray("KOI8-R"));
    m_form->ChooseEncoding(QByteArray()); // automatic again
    QCOMPARE(Shown(0, 2), QString::fromUtf8("Привет"));
}

void TestEncoding::refusesCharactersTheEncodingLacks()
{
    Open(Template, Russian);
    PhraseGrid* grid = m_form->DrawGrid();
    PressKey(grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
    QVERIFY(editor);
    SendText(editor, QString::fromUtf8("é"));
    QCOMPARE(editor->text(), QString::fromUtf8("Привет"));
    QVERIFY(editor->toolTip().contains(QString::fromUtf8("é")));
    QVERIFY(editor->toolTip().contains("windows-1251"));
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2"));
    SendText(editor, QString::fromUtf8("!"));
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2!"));
    PressKey(grid, Qt::Key_Return);

    // A byte this code page leaves undefined still round-trips, so editing keeps it.
    grid->setCurrentIndex(m_form->Model()->index(2, 2));
    PressKey(grid, Qt::Key_F2);
    SendText(grid->indexWidget(grid->currentIndex()), QString::fromUtf8("z"));
    QCOMPARE(m_form->Document().PhraseTranslation(2), QByteArray("x\x98yz"));
    PressKey(grid, Qt::Key_Return);

    // Read as UTF-8, the windows-1251 bytes cannot be decoded: a partial edit would lose them, so
    // it is refused; replacing the whole text is allowed.
    m_form->ChooseEncoding("UTF-8");
    grid->setCurrentIndex(m_form->Model()->index(0, 2));
    PressKey(grid, Qt::Key_F2);
    editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
    QVERIFY(editor);
    SendText(editor, QString::fromUtf8("z"));
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2!"));
    editor->selectAll();
    SendText(editor, QString::fromUtf8("z"));
    QCOMPARE(m_form->Document().PhraseTranslation(0), QByteArray("z"));
}

void TestEncoding::savingKeepsEveryUneditedByte()
{
    Open(Template, Russian);
    PhraseGrid* grid = m_form->DrawGrid();
    grid->setCurrentIndex(m_form->Model()->index(1, 2));
    SendText(grid, QString::fromUtf8("Д"));
    SendText(grid->indexWidget(grid->currentIndex()), QString::fromUtf8("а"));
    PressKey(grid, Qt::Key_Return);
    // The cell with an undefined byte is opened and left without a change: its bytes stay.
    grid->setCurrentIndex(m_form->Model()->index(2, 2));
    PressKey(grid, Qt::Key_F2);
    PressKey(grid, Qt::Key_Return);
    m_form->FileSaveAction()->trigger();
    QFile f(m_translation);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("<?php\r\n"
                                     "define(\"_HELLO\",\"\xCF\xF0\xE8\xE2\xE5\xF2\");\r\n"
                                     "define(\"_YES\",\"\xC4\xE0\");\r\n"
                                     "define(\"_ODD\",\"x\x98y\");\r\n"
                                     "define(\"_CHARSET\",\"windows-1251\");\r\n"));
}

void TestEncoding::clipboardGetsUnicode()
{
    Open(Template, Russian);
    m_form->EditCopyAction()->trigger();
    QCOMPARE(QApplication::clipboard()->text(), QString::fromUtf8("Привет"));
}

void TestEncoding::everyOfferedEncodingWorks()
{
    for (QAction* a : m_form->findChild<QMenu*>("EncodingMenu")->actions()) {
        if (!a->isCheckable() || a->data().toByteArray().isEmpty())
            continue;
        a->trigger();
        QCOMPARE(m_form->EncodingLabel()->text().toLatin1(), a->data().toByteArray());
        QVERIFY2(m_form->Codec().Valid(), a->data().toByteArray().constData());
    }
}

// Under the C locale, as on a server or an English desktop: each file's encoding must come from
// the file, since the locale names no language to fall back on.
void TestEncoding::detectsEachFile_data()
{
    QTest::addColumn<QString>("templ");
    QTest::addColumn<QString>("translation");
    QTest::addColumn<QString>("encoding");
    QTest::addColumn<QString>("world"); // what the translation of _WORLD shows
    QTest::addColumn<bool>("notice");
    QTest::newRow("windows-1251 declared") << Data("english.php") << Data("russian-1251.php")
                                           << "windows-1251" << QString::fromUtf8("Мир") << false;
    QTest::newRow("windows-1251 guessed") << Data("english.php") << Data("russian-undeclared.php")
                                          << "windows-1251" << QString::fromUtf8("Мир") << false;
    QTest::newRow("ISO-8859-1 translation of a UTF-8 template")
        << Data("english-utf8.php") << Data("french-latin1.php") << "ISO-8859-1"
        << QString::fromUtf8("Monde entier, à côté") << true;
}

void TestEncoding::detectsEachFile()
{
    QFETCH(QString, templ);
    QFETCH(QString, translation);
    QFETCH(QString, encoding);
    QFETCH(QString, world);
    QFETCH(bool, notice);
    OpenFiles(templ, translation);
    QCOMPARE(m_form->EncodingLabel()->text(), encoding);
    const auto row = m_form->Document().FindKey("_WORLD");
    QVERIFY(row);
    QCOMPARE(Shown(*row, 2), world);
    QVERIFY(EncodingAction(QByteArray())->isChecked()); // automatic
    if (notice) {
        QCOMPARE(m_seam->notices.size(), 1);
        QVERIFY2(m_seam->notices.first().contains("french-latin1.php") &&
                     m_seam->notices.first().contains("english-utf8.php") &&
                     m_seam->notices.first().contains("ISO-8859-1"),
                 qPrintable(m_seam->notices.first()));
    } else {
        QCOMPARE(m_seam->notices, QStringList());
    }
}

void TestEncoding::choiceEndsWithTheDocument()
{
    OpenFiles(Data("english.php"), Data("russian-1251.php"));
    EncodingAction("KOI8-R")->trigger();
    QCOMPARE(m_form->EncodingLabel()->text(), QString("KOI8-R"));
    // Reading the same files again keeps the choice made for them.
    m_form->FileReloadAction()->trigger();
    QCOMPARE(m_form->EncodingLabel()->text(), QString("KOI8-R"));
    QVERIFY(EncodingAction("KOI8-R")->isChecked());

    // The next document is detected: a UTF-8 template alone shows UTF-8, not KOI8-R.
    m_seam->files.enqueue(Data("english-utf8.php"));
    m_form->FileNewAction()->trigger();
    QCOMPARE(m_form->EncodingLabel()->text(), QString("UTF-8"));
    QVERIFY(m_form->ChosenEncoding().isEmpty());
    QVERIFY(EncodingAction(QByteArray())->isChecked());
    QVERIFY(!EncodingAction("KOI8-R")->isChecked());
    QCOMPARE(Shown(0, 2), QString("Hello, world"));
}

void TestEncoding::differingEncodingToldOncePerOpening()
{
    OpenFiles(Data("english-utf8.php"), Data("french-latin1.php"));
    QCOMPARE(m_seam->notices.size(), 1);
    m_form->FileReloadAction()->trigger();
    EncodingAction("windows-1252")->trigger();
    EncodingAction(QByteArray())->trigger();
    QCOMPARE(m_seam->notices.size(), 1);
    OpenFiles(Data("english-utf8.php"), Data("french-latin1.php"));
    QCOMPARE(m_seam->notices.size(), 2);
}

int main(int argc, char** argv)
{
    // An English user, with a settings store of the test's own. The C locale names no legacy
    // code page, so 8-bit files are read as they declare or as their letters tell.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    qputenv("LC_ALL", "C");
    qputenv("LANG", "C");
    QApplication app(argc, argv);
    TestEncoding test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_encoding.moc"
