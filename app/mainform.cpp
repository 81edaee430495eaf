#include "mainform.h"

#include "about.h"
#include "credits.h"
#include "detailspane.h"
#include "documentwatcher.h"
#include "edithistory.h"
#include "encodingdetect.h"
#include "find.h"
#include "gridfont.h"
#include "phrasegrid.h"
#include "phrasemodel.h"
#include "progressstatus.h"
#include "stringtable.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSessionManager>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QWindow>

#include <algorithm>

namespace {

// The designed window size at 120 pixels per inch, scaled to the screen like every form.
QSize DesignedSize(const QWidget* w)
{
    const qreal dpi = w->logicalDpiX() > 0 ? w->logicalDpiX() : 96;
    return QSize(qRound(600 * dpi / 120), qRound(400 * dpi / 120));
}

} // namespace

TMainForm::TMainForm(DialogSeam& seam, QWidget* parent)
    : QMainWindow(parent), m_seam(seam), m_codec(TextCodec::Locale())
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromLatin1(strings::MainCaption));

    m_model = new PhraseTableModel(m_doc, m_codec, this);
    m_history = new EditHistory(m_doc, this);
    m_grid = new PhraseGrid(m_codec, this);
    m_grid->setObjectName(QStringLiteral("DrawGrid"));
    m_grid->setModel(m_model);
    m_grid->setColumnHidden(PhraseTableModel::ColumnLine, true);
    // The details pane below the grid keeps its height as the window is resized; the grid takes
    // the rest. Hidden until View > Details pane shows it.
    m_splitter = new QSplitter(Qt::Vertical, this);
    m_splitter->setObjectName(QStringLiteral("DetailsSplitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_grid);
    m_details = new DetailsPane(m_doc, *m_model, m_codec, *m_history, m_splitter);
    m_splitter->addWidget(m_details);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    m_details->hide();
    setCentralWidget(m_splitter);
    connect(m_grid->Delegate(), &PhraseDelegate::CharacterRefused, this,
            &TMainForm::ShowRefusedCharacter);
    connect(m_details, &DetailsPane::CharacterRefused, this, &TMainForm::ShowRefusedCharacter);

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->addWidget(m_statusLabel, 1);
    m_diskLabel = new QLabel(this);
    m_diskLabel->setObjectName(QStringLiteral("DiskStatus"));
    statusBar()->addWidget(m_diskLabel);
    m_problemsLabel = new QLabel(this);
    m_problemsLabel->setObjectName(QStringLiteral("ProblemsStatus"));
    statusBar()->addPermanentWidget(m_problemsLabel);
    m_progress = new ProgressStatus(m_doc, this);
    statusBar()->addPermanentWidget(m_progress);
    m_encodingLabel = new QLabel(this);
    statusBar()->addPermanentWidget(m_encodingLabel);
    m_watcher = new DocumentWatcher(m_doc, this);
    connect(m_watcher, &DocumentWatcher::NoticeChanged, m_diskLabel, &QLabel::setText);
    statusBar()->setSizeGripEnabled(true);

    CreateActions();
    CreateMenusAndToolBar();
    ConnectDocument();
    ConnectFilter();
    ConnectHistory();
    ConnectDetails();
    ConnectChecks();
    setAcceptDrops(true); // files dropped on the window are opened (opencommands.cpp)

    // The grid font starts as the window's designed font until the settings give another.
    m_gridFont = DesignedGridFont();
    ApplyGridFont();
    resize(DesignedSize(this));
    m_grid->setFocus();

    m_templateDialog = {
        FileChooserOptions::Kind::Open,
        QStringLiteral("Select language files template"),
        {{QStringLiteral("Template files (Vorlane 4.x)"),
          QStringLiteral("lang-TEMPLATE*.php*;lang-english*.php*")},
         {QStringLiteral("Language files  (Vorlane 5.x)"), QStringLiteral("lang-*.php*")},
         {QStringLiteral("Message files (pSlash)"), QStringLiteral("message*.php*")},
         {QStringLiteral("Language files (phpWebLog)"), QStringLiteral("*.lng")},
         {QStringLiteral("PP-files (phpWebSite)"), QStringLiteral("*.pp")},
         {QStringLiteral("PHP-files"), QStringLiteral("*.php*")},
         {QStringLiteral("All files"), QStringLiteral("*.*")}},
        QStringLiteral("php"),
        QStringLiteral("lang-TEMPLATE.php")};
    m_translateDialog = {
        FileChooserOptions::Kind::Open,
        QStringLiteral("Select translation file"),
        {{QStringLiteral("Language files (Vorlane)"), QStringLiteral("lang-*.php*")},
         {QStringLiteral("Message files (pSlash)"), QStringLiteral("message*.php*")},
         {QStringLiteral("Language files (phpWebLog)"), QStringLiteral("*.lng")},
         {QStringLiteral("PP-files (phpwebSite)"), QStringLiteral("*.pp")},
         {QStringLiteral("PHP-files"), QStringLiteral("*.php*")},
         {QStringLiteral("All files"), QStringLiteral("*.*")}},
        QStringLiteral("php"),
        QString()};
    m_saveAsDialog = {FileChooserOptions::Kind::Save,
                      QStringLiteral("Save translation to language file"),
                      {{QStringLiteral("PHP-files (Vorlane, pSlash)"), QStringLiteral("*.php*")},
                       {QStringLiteral("LNG-files (phpWebLog)"), QStringLiteral("*.lng")},
                       {QStringLiteral("PP-files (phpWebSite)"), QStringLiteral("*.pp")},
                       {QStringLiteral("All files"), QStringLiteral("*.*")}},
                      QString(),
                      QString()};

    // The stored settings are applied while the window is built, before it is first shown; a
    // value that cannot be read is reported and start-up goes on.
    Guarded([this] { LoadFormSettings(*this); });
    ApplyCodec();

    // The dialogs are made once, after the main window, and only hidden between uses.
    m_findForm = new TFindForm(this);
    m_aboutForm = new TAboutForm(m_seam, this);
    m_creditsForm = new TCreditsForm(m_seam, this);
    connect(m_findForm, &TFindForm::SearchTextChanged, this, &TMainForm::UpdateActions);

    // A session log-out asks the same question as closing the window (see LogOutQuery).
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        bool interacting = false;
        const bool goOn = LogOutQuery([&] { return interacting = manager.allowsInteraction(); });
        // The session manager learns of the cancel when the interaction is released.
        if (!goOn)
            manager.cancel();
        if (interacting)
            manager.release();
    });
    UpdateActions();
}

TMainForm::~TMainForm()
{
    // The grid, the pane, their model and the history read the document and the codec, which are
    // members and go first; take them down while both still exist, and let nothing they emit on
    // the way reach the window being taken down.
    m_details->blockSignals(true);
    m_history->blockSignals(true);
    delete m_splitter;
    delete m_model;
    delete m_history;
}

void TMainForm::ConnectDocument()
{
    connect(&m_doc, &PhraseDocument::TemplateLoaded, this, &TMainForm::OnTemplateLoaded);
    connect(&m_doc, &PhraseDocument::Cleared, this, [this] {
        // New and Open clear the document first: the files they read are detected afresh.
        m_encodingName.clear();
        m_noticedMismatch.clear();
        m_grid->LayoutColumns();
        ApplyCodec();
    });
    connect(&m_doc, &PhraseDocument::StatusTextChanged, m_statusLabel, &QLabel::setText);
    connect(&m_doc, &PhraseDocument::ModifiedChanged, this, &TMainForm::UpdateActions);
    connect(&m_doc, &PhraseDocument::ShowOriginalChanged, this, &TMainForm::UpdateActions);
    connect(&m_doc, &PhraseDocument::FilesChanged, this, &TMainForm::RememberOpenFiles);
}

void TMainForm::OnTemplateLoaded()
{
    // The first phrase's translation becomes the current cell, then the columns are laid out.
    if (m_model->rowCount() > 0) {
        const QModelIndex first = m_model->index(0, PhraseTableModel::ColumnTranslated);
        m_grid->selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect);
        m_grid->scrollToTop();
    }
    m_grid->LayoutColumns();
    UpdateActions();
}

void TMainForm::ShowRefusedCharacter(QWidget* editor, const QString& character)
{
    editor->setToolTip(
        tr("\"%1\" cannot be written in %2").arg(character, QString::fromLatin1(m_codec.Name())));
    QToolTip::showText(editor->mapToGlobal(QPoint(0, editor->height())), editor->toolTip(), editor);
}

void TMainForm::ShowError(const QString& message)
{
    m_seam.ShowError(ErrorBoxText(message));
}

void TMainForm::ShowOutOfMemory()
{
    ShowError(QString::fromLatin1(strings::OutOfMemory));
}

// ---------------------------------------------------------------- encoding

void TMainForm::ChooseEncoding(const QByteArray& name)
{
    m_encodingName = name;
    ApplyCodec();
}

DocumentEncoding TMainForm::DetectedEncoding() const
{
    if (!m_doc.IsDocumentLoaded()) {
        DocumentEncoding none;
        none.name = TextCodec::Locale().Name();
        return none;
    }
    return m_doc.DetectEncoding(QLocale::system());
}

namespace {

QString SourceText(EncodingSource source)
{
    switch (source) {
    case EncodingSource::ByteOrderMark:
        return QStringLiteral("its byte order mark");
    case EncodingSource::Utf8:
        return QStringLiteral("its bytes, all valid UTF-8");
    case EncodingSource::Declared:
        return QStringLiteral("the charset it declares");
    case EncodingSource::Guessed:
        return QStringLiteral("a guess from its letters");
    case EncodingSource::Locale:
        return QStringLiteral("your language, too little text to tell");
    case EncodingSource::Ascii:
        return QStringLiteral("plain ASCII, which any encoding reads");
    }
    return {};
}

} // namespace

void TMainForm::ApplyCodec()
{
    const DocumentEncoding detected = DetectedEncoding();
    const QByteArray name = m_encodingName.isEmpty() ? detected.name : m_encodingName;
    if (name != m_codec.Name() || !m_codec.Valid()) {
        m_codec = TextCodec(name);
        // An empty grid has nothing to repaint (and no header section to name).
        if (m_model->rowCount() > 0)
            m_model->RefreshAll();
        m_details->Reload();
    }
    // Checks wait for the encoding after a load; a new encoding has checked them already.
    m_model->UpdateProblems();
    m_encodingLabel->setText(QString::fromLatin1(m_codec.Name()));
    // The tool tip tells how the files told their encoding, so a surprising one can be traced.
    QStringList how;
    if (!m_encodingName.isEmpty())
        how << QStringLiteral("Chosen in Options > Encoding for this document");
    if (m_doc.IsDocumentLoaded())
        how << QStringLiteral("Template: %1, by %2")
                   .arg(QString::fromLatin1(detected.templ.name),
                        SourceText(detected.templ.source));
    if (detected.translation)
        how << QStringLiteral("Translation: %1, by %2")
                   .arg(QString::fromLatin1(detected.translation->name),
                        SourceText(detected.translation->source));
    m_encodingLabel->setToolTip(how.join(u'\n'));
    UpdateActions();
    NoticeMismatch(detected);
}

void TMainForm::NoticeMismatch(const DocumentEncoding& detected)
{
    if (!detected.mismatch)
        return;
    const QByteArray key = m_doc.TranslationPath().Native() + '\0' + detected.templ.name + '\0' +
                           detected.translation->name;
    if (key == m_noticedMismatch)
        return;
    m_noticedMismatch = key;
    m_seam.ShowNotice(EncodingMismatchText(detected, m_doc.TemplatePath().Display(),
                                           m_doc.TranslationPath().Display()));
}

// ---------------------------------------------------------------- closing

bool TMainForm::FormCloseQuery()
{
    return ConfirmDiscard();
}

bool TMainForm::LogOutQuery(const std::function<bool()>& mayInteract)
{
    // Without leave to ask, nothing is shown and nothing is written: the changes stay unsaved.
    if (!m_doc.Modified() || !mayInteract())
        return true;
    return AskAboutUnsavedChanges();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    // A value that cannot be stored keeps the window open; closing again repeats the save.
    if (!Guarded([this] { SaveFormSettings(*this); })) {
        event->ignore();
        return;
    }
    event->accept();
}

bool TMainForm::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowActivate:
        // The window manager may frame the window after it is first exposed; it moves it then.
        if (m_storedBounds)
            ApplyStoredBounds();
        break;
    default:
        break;
    }
    // Idle-time rules: re-evaluate when the window becomes active again (after dialogs).
    if (event->type() == QEvent::WindowActivate)
        UpdateActions();
    return QMainWindow::event(event);
}

// ---------------------------------------------------------------- stored settings

QRect TMainForm::WindowBounds() const
{
    // A maximised window stores its maximised bounds; a minimised one its restored bounds.
    if (isMinimized())
        return normalGeometry().isValid() ? normalGeometry() : frameGeometry();
    return frameGeometry();
}

void TMainForm::SetWindowTop(int top)
{
    QRect outer = m_storedBounds.value_or(frameGeometry());
    outer.moveTop(top);
    SetStoredBounds(outer);
}

void TMainForm::SetWindowLeft(int left)
{
    QRect outer = m_storedBounds.value_or(frameGeometry());
    outer.moveLeft(left);
    SetStoredBounds(outer);
}

void TMainForm::SetWindowWidth(int width)
{
    QRect outer = m_storedBounds.value_or(frameGeometry());
    outer.setWidth(width);
    SetStoredBounds(outer);
}

void TMainForm::SetWindowHeight(int height)
{
    QRect outer = m_storedBounds.value_or(frameGeometry());
    outer.setHeight(height);
    SetStoredBounds(outer);
}

namespace {

// The bounds moved, and shrunk where they are larger, into the work area of the screen they
// overlap most, or of the primary screen when they are on none: a window stored maximised, or
// on a screen since removed, comes back whole with its status line in sight.
QRect OnScreen(const QRect& outer)
{
    const QScreen* best = nullptr;
    qint64 bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry() & outer;
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (!best)
        best = QGuiApplication::primaryScreen();
    if (!best)
        return outer;
    const QRect area = best->availableGeometry();
    QRect fitted(outer.topLeft(), outer.size().boundedTo(area.size()));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() + 1 - fitted.height()));
    return fitted;
}

} // namespace

void TMainForm::SetStoredBounds(const QRect& outer)
{
    m_storedBounds = outer;
    // A top-level window's position is its frame's already; the size waits for the frame.
    move(outer.topLeft());
    resize(std::max(1, outer.width()), std::max(1, outer.height()));
    ApplyStoredBounds();
}

void TMainForm::ApplyStoredBounds()
{
    // Geometry set before the window is shown on screen can still be overtaken by the window
    // system's own report of where it was created.
    if (!m_storedBounds || !isVisible() || !windowHandle() || !windowHandle()->isExposed())
        return;
    // No margins yet: the window manager has not framed the window (or told its frame) so far.
    const QMargins frame = windowHandle()->frameMargins();
    if (frame.isNull())
        return;
    const QRect outer = OnScreen(*std::exchange(m_storedBounds, std::nullopt));
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized))
        return;
    resize(std::max(1, outer.width() - frame.left() - frame.right()),
           std::max(1, outer.height() - frame.top() - frame.bottom()));
    move(outer.topLeft());
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // Sent before the window is mapped: the bounds land on a screen before anyone sees them.
    if (m_storedBounds) {
        SetStoredBounds(OnScreen(*m_storedBounds));
        if (QWindow* window = windowHandle())
            window->installEventFilter(this); // for its first expose
    }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle() && m_storedBounds)
        ApplyStoredBounds();
    return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::ToolBarVisible() const
{
    return !m_toolBar->isHidden();
}

void TMainForm::SetToolBarVisible(bool visible)
{
    m_toolBar->setVisible(visible);
    UpdateActions();
}

int TMainForm::GridLineWidth() const
{
    return m_grid->GridLineWidth();
}

void TMainForm::SetGridLineWidth(int width)
{
    m_grid->SetGridLineWidth(width);
    UpdateActions();
}

bool TMainForm::ShowOriginal() const
{
    return m_doc.ShowOriginal();
}

void TMainForm::SetShowOriginal(bool showOriginal)
{
    m_doc.SetShowOriginal(showOriginal);
}

GridFontSettings TMainForm::GridFont() const
{
    return m_gridFont;
}

void TMainForm::SetGridFont(const GridFontSettings& font)
{
    m_gridFont = font;
    ApplyGridFont();
}

void TMainForm::ApplyGridFont()
{
    m_grid->setFont(ToQFont(m_gridFont, m_grid->logicalDpiY()));
    QPalette pal = m_grid->palette();
    pal.setColor(QPalette::Text, ToQColor(m_gridFont.color, QApplication::palette()));
    m_grid->setPalette(pal);
    m_details->SetTextFont(m_grid->font());
}
