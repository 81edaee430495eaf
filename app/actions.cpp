// The action list: every command with its caption, shortcut, hint and image, the menus and the
// tool bar that show them, and the rules that enable and check them.
#include "mainform.h"

#include "detailspane.h"
#include "edithistory.h"
#include "find.h"
#include "phrasegrid.h"
#include "phrasemodel.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace {

struct ActionEntry
{
    QAction* TMainForm::*slot; // the member that holds it
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    const char* hint;
    const char* themeIcon; // freedesktop icon name; the bundled image stands in when missing
    const char* image;     // bundled fallback under :/icons
    void (TMainForm::*execute)();
    bool checkable;
};

// One value of the View menu's filter, listed in this order in the menu and the tool bar's box.
struct FilterEntry
{
    QAction* TMainForm::*slot;
    PhraseFilter filter;
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    const char* hint;
};

void ExecuteNextLatin(TMainForm* w)
{
    w->GotoNextState(TranslationState::tsUntranslated);
}
void ExecuteNextMissing(TMainForm* w)
{
    w->GotoNextState(TranslationState::tsMissing);
}

QIcon ActionIcon(const char* themeName, const char* image)
{
    if (!*image)
        return QIcon(); // a menu entry only, with no picture of its own
    // A theme icon counts only when it can be drawn: a theme of SVG icons without Qt's SVG
    // plugin would otherwise leave blank buttons.
    const QIcon themed = QIcon::fromTheme(QLatin1String(themeName));
    if (!themed.isNull() && !themed.pixmap(24, 24).isNull())
        return themed;
    // Both sizes are named: QIcon(file) looks for the @2x picture only when the screen is
    // already scaled as the icon is made, and the window can move to a scaled screen later.
    const QString base = QStringLiteral(":/icons/%1").arg(QLatin1String(image));
    QIcon bundled;
    bundled.addFile(base + QStringLiteral(".png"));
    bundled.addFile(base + QStringLiteral("@2x.png"));
    return bundled;
}

} // namespace

void TMainForm::CreateActions()
{
    using K = QKeySequence;
    const ActionEntry entries[] = {
        {&TMainForm::m_fileNewAction, "FileNewAction", "&New...", K(Qt::CTRL | Qt::Key_N),
         "Create new translation file", "document-new", "new", &TMainForm::FileNewActionExecute,
         false},
        {&TMainForm::m_fileOpenAction, "FileOpenAction", "&Open...", K(Qt::CTRL | Qt::Key_O),
         "Open existing translation file", "document-open", "open",
         &TMainForm::FileOpenActionExecute, false},
        {&TMainForm::m_fileSaveAction, "FileSaveAction", "&Save", K(Qt::CTRL | Qt::Key_S),
         "Save changes to current translation file", "document-save", "save",
         &TMainForm::FileSaveActionExecute, false},
        {&TMainForm::m_fileSaveAsAction, "FileSaveAsAction", "Save &as...", K(),
         "Save changes to another translation file", "document-save-as", "saveas",
         &TMainForm::FileSaveAsActionExecute, false},
        {&TMainForm::m_fileReloadAction, "FileReloadAction", "&Reload", K(Qt::Key_F5),
         "Read the template and the translation file again from disk", "view-refresh", "open",
         &TMainForm::FileReloadActionExecute, false},
        {&TMainForm::m_fileClearRecentAction, "FileClearRecentAction", "&Clear recent files", K(),
         "Forget the files opened recently", "", "", &TMainForm::FileClearRecentActionExecute,
         false},
        {&TMainForm::m_fileExitAction, "FileExitAction", "E&xit", K(Qt::ALT | Qt::Key_X),
         "Exit from program", "application-exit", "exit", &TMainForm::FileExitActionExecute, false},
        {&TMainForm::m_editFindAction, "EditFindAction", "&Find...", K(Qt::CTRL | Qt::Key_F),
         "Search text in strings", "edit-find", "find", &TMainForm::EditFindActionExecute, false},
        {&TMainForm::m_editAgainAction, "EditAgainAction", "Find a&gain", K(Qt::CTRL | Qt::Key_G),
         "Search next occurence of text", "go-down-search", "findagain",
         &TMainForm::EditAgainActionExecute, false},
        {&TMainForm::m_nextLatinAction, "NextLatinAction", "Next un&translated",
         K(Qt::CTRL | Qt::Key_L), "Find nearest untranslated string", "go-next", "nextuntranslated",
         nullptr, false},
        {&TMainForm::m_nextMissingAction, "NextMissingAction", "Next &missing",
         K(Qt::CTRL | Qt::Key_M),
         "Search nearest string existing in template file, but missing in translation file",
         "go-last", "nextmissing", nullptr, false},
        {&TMainForm::m_nextProblemAction, "NextProblemAction", "Next &problem", K(Qt::Key_F8),
         "Go to the next translation the checks find fault with", "", "",
         &TMainForm::NextProblemActionExecute, false},
        {&TMainForm::m_setupFontAction, "SetupFontAction", "&Font...", K(), "Set strings font",
         "preferences-desktop-font", "font", &TMainForm::SetupFontActionExecute, false},
        {&TMainForm::m_showGridAction, "ShowGridAction", "&Grid lines", K(),
         "Show strings grid divider lines", "view-grid", "grid", &TMainForm::ShowGridActionExecute,
         true},
        {&TMainForm::m_helpAboutAction, "HelpAboutAction", "&About...", K(), "About this program",
         "help-about", "about", &TMainForm::HelpAboutActionExecute, false},
        {&TMainForm::m_helpCreditsAction, "HelpCreditsAction", "&Credits...", K(), "Thanks to...",
         "help-contents", "credits", &TMainForm::HelpCreditsActionExecute, false},
        {&TMainForm::m_showOriginalAction, "ShowOriginalAction", "&Original text", K(),
         "Show original (untranslated) text instead of keywords (for Vorlane 5.x)",
         "format-text-direction-ltr", "original", &TMainForm::ShowOriginalActionExecute, true},
        {&TMainForm::m_viewToolBarAction, "ViewToolBarAction", "&Toolbar", K(),
         "Show panel with tool buttons", "configure-toolbars", "toolbar",
         &TMainForm::ViewToolBarActionExecute, true},
        {&TMainForm::m_templateLayoutAction, "TemplateLayoutAction", "As the &template", K(),
         "Save the template's lines, each phrase in the fixed spelling of its kind", "", "",
         &TMainForm::TemplateLayoutActionExecute, true},
        {&TMainForm::m_keepLayoutAction, "KeepLayoutAction", "&Keep line layout", K(),
         "Save each phrase line in the template's own layout, only its translation replaced", "",
         "", &TMainForm::KeepLayoutActionExecute, true},
        {&TMainForm::m_translationLayoutAction, "TranslationLayoutAction", "As the t&ranslation",
         K(),
         "Save the translation file as it was read, only the translations changed replaced and "
         "the phrases it lacks added",
         "", "", &TMainForm::TranslationLayoutActionExecute, true},
        {&TMainForm::m_editCopyAction, "EditCopyAction", "&Copy", K(Qt::CTRL | Qt::Key_C),
         "Copy selected text to clipboard", "edit-copy", "copy", &TMainForm::EditCopyActionExecute,
         false},
        {&TMainForm::m_editUndoAction, "EditUndoAction", "&Undo", K(Qt::CTRL | Qt::Key_Z),
         "Take back the last edit of a translation", "", "", &TMainForm::EditUndoActionExecute,
         false},
        {&TMainForm::m_editRedoAction, "EditRedoAction", "&Redo",
         K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), "Make the edit taken back again", "", "",
         &TMainForm::EditRedoActionExecute, false},
        {&TMainForm::m_editCopyOriginalAction, "EditCopyOriginalAction",
         "Copy &original to translation", K(Qt::CTRL | Qt::Key_B),
         "Replace the translation with the original text", "", "",
         &TMainForm::EditCopyOriginalActionExecute, false},
        {&TMainForm::m_editRemoveObsoleteAction, "EditRemoveObsoleteAction",
         "Remove o&bsolete phrases", K(),
         "Take out the phrases the translation has and the template does not", "", "",
         &TMainForm::EditRemoveObsoleteActionExecute, false},
        {&TMainForm::m_editDoneNextAction, "EditDoneNextAction", "&Done and next",
         K(Qt::CTRL | Qt::Key_Return),
         "Finish this phrase and go to the next one that is missing or untranslated", "", "",
         &TMainForm::EditDoneNextActionExecute, false},
        {&TMainForm::m_viewDetailsAction, "ViewDetailsAction", "&Details pane", K(),
         "Show the current phrase whole below the grid; F6 moves between the grid and the pane", "",
         "", &TMainForm::ViewDetailsActionExecute, true},
        {&TMainForm::m_viewSwitchPaneAction, "ViewSwitchPaneAction", "S&witch pane", K(Qt::Key_F6),
         "Move the keyboard focus between the grid and the details pane", "", "",
         &TMainForm::ViewSwitchPaneActionExecute, false},
    };
    QList<QKeySequence> shortcuts;
    for (const ActionEntry& s : entries) {
        auto* action = new QAction(ActionIcon(s.themeIcon, s.image), tr(s.caption), this);
        action->setObjectName(QString::fromLatin1(s.name));
        action->setShortcut(s.shortcut);
        // Shortcuts work anywhere in the window, also while a cell is being edited.
        action->setShortcutContext(Qt::WindowShortcut);
        action->setToolTip(tr(s.hint));
        action->setStatusTip(QString());
        action->setCheckable(s.checkable);
        if (!s.shortcut.isEmpty())
            shortcuts.append(s.shortcut);
        addAction(action);
        this->*s.slot = action;
        if (s.execute) {
            // The one guard of every command. Afterwards the rules are applied again: checkable
            // actions take their mark from the state, never from the click, and a dialog the
            // command showed may have changed what the rules read.
            connect(action, &QAction::triggered, this, [this, fn = s.execute] {
                Guarded([&] { (this->*fn)(); });
                UpdateActions();
            });
        }
    }
    // Second keys: Redo is Ctrl+Y on some desktops and Ctrl+Shift+Z on others; Enter is the
    // keypad's Return.
    const std::pair<QAction*, QKeySequence> secondKeys[] = {
        {m_editRedoAction, K(Qt::CTRL | Qt::Key_Y)},
        {m_editDoneNextAction, K(Qt::CTRL | Qt::Key_Enter)}};
    for (const auto& [action, key] : secondKeys) {
        action->setShortcuts({action->shortcut(), key});
        shortcuts.append(key);
    }
    connect(m_nextLatinAction, &QAction::triggered, this,
            [this] { Guarded([&] { ExecuteNextLatin(this); }); });
    connect(m_nextMissingAction, &QAction::triggered, this,
            [this] { Guarded([&] { ExecuteNextMissing(this); }); });

    const FilterEntry filters[] = {
        {&TMainForm::m_filterAllAction, PhraseFilter::All, "FilterAllAction", "&All phrases",
         K(Qt::CTRL | Qt::Key_1), "Show every phrase"},
        {&TMainForm::m_filterNeedsWorkAction, PhraseFilter::NeedsWork, "FilterNeedsWorkAction",
         "&Needs work", K(Qt::CTRL | Qt::Key_2), "Show only missing and untranslated phrases"},
        {&TMainForm::m_filterMissingAction, PhraseFilter::Missing, "FilterMissingAction",
         "&Missing", K(Qt::CTRL | Qt::Key_3), "Show only phrases missing in the translation file"},
        {&TMainForm::m_filterUntranslatedAction, PhraseFilter::Untranslated,
         "FilterUntranslatedAction", "&Untranslated", K(Qt::CTRL | Qt::Key_4),
         "Show only phrases still equal to the template's text"},
        {&TMainForm::m_filterTranslatedAction, PhraseFilter::Translated, "FilterTranslatedAction",
         "&Translated", K(Qt::CTRL | Qt::Key_5), "Show only translated phrases"},
        {&TMainForm::m_filterWithProblemsAction, PhraseFilter::WithProblems,
         "FilterWithProblemsAction", "With &problems", K(Qt::CTRL | Qt::Key_6),
         "Show only translations the checks find fault with"},
        {&TMainForm::m_filterObsoleteAction, PhraseFilter::Obsolete, "FilterObsoleteAction",
         "O&bsolete", K(Qt::CTRL | Qt::Key_7),
         "Show only phrases the translation has and the template does not"},
    };
    m_filterGroup = new QActionGroup(this);
    for (const FilterEntry& f : filters) {
        auto* action = new QAction(tr(f.caption), m_filterGroup);
        action->setObjectName(QString::fromLatin1(f.name));
        action->setShortcut(f.shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setToolTip(tr(f.hint));
        action->setCheckable(true);
        action->setData(int(f.filter));
        shortcuts.append(f.shortcut);
        addAction(action);
        this->*f.slot = action;
        connect(action, &QAction::triggered, this, [this, filter = f.filter] {
            Guarded([&] { SetPhraseFilter(filter); });
            UpdateActions();
        });
    }
    // The layout of saved files is one of three.
    m_layoutGroup = new QActionGroup(this);
    for (QAction* a : {m_templateLayoutAction, m_keepLayoutAction, m_translationLayoutAction})
        m_layoutGroup->addAction(a);
    m_details->SetWindowShortcuts(shortcuts);
    m_grid->SetWindowShortcuts(shortcuts);
}

void TMainForm::CreateMenusAndToolBar()
{
    auto add = [this](QMenu* menu, std::initializer_list<QAction*> actions) {
        for (QAction* a : actions) {
            if (a)
                menu->addAction(a);
            else
                menu->addSeparator();
        }
        // Menus show the rules' current state the moment they open.
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::UpdateActions);
    };
    // The recent files' entries change with every file opened; they are listed as it opens.
    m_recentMenu = new QMenu(QStringLiteral("Recent &files"), this);
    m_recentMenu->setObjectName(QStringLiteral("RecentMenu"));
    m_recentMenu->setToolTipsVisible(true); // the full names, and which file is missing
    connect(m_recentMenu, &QMenu::aboutToShow, this, &TMainForm::UpdateRecentMenu);
    add(menuBar()->addMenu(QStringLiteral("&File")),
        {m_fileNewAction, m_fileOpenAction, m_fileReloadAction, m_fileSaveAction,
         m_fileSaveAsAction, m_recentMenu->menuAction(), nullptr, m_fileExitAction});
    add(menuBar()->addMenu(QStringLiteral("Edit")),
        {m_editUndoAction, m_editRedoAction, nullptr, m_editFindAction, m_editAgainAction,
         m_nextLatinAction, m_nextMissingAction, m_nextProblemAction, m_editDoneNextAction, nullptr,
         m_editCopyAction, m_editCopyOriginalAction, nullptr, m_editRemoveObsoleteAction});
    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("ViewMenu"));
    view->addActions(m_filterGroup->actions());
    view->addSeparator();
    view->addAction(m_viewDetailsAction);
    connect(view, &QMenu::aboutToShow, this, &TMainForm::UpdateActions);
    QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
    add(options, {m_viewToolBarAction, nullptr, m_setupFontAction, m_showGridAction,
                  m_showOriginalAction, nullptr});
    QMenu* layout = options->addMenu(tr("Save &layout"));
    layout->setObjectName(QStringLiteral("LayoutMenu"));
    add(layout, {m_templateLayoutAction, m_keepLayoutAction, m_translationLayoutAction});

    CreateChecksMenu(options);

    // The document's encoding: detected from the files, or one chosen here.
    options->addSeparator();
    m_encodingMenu = options->addMenu(tr("&Encoding"));
    m_encodingMenu->setObjectName(QStringLiteral("EncodingMenu"));
    auto* group = new QActionGroup(this);
    const QList<QByteArray> encodings = {"",
                                         "UTF-8",
                                         "windows-1250",
                                         "windows-1251",
                                         "windows-1252",
                                         "windows-1253",
                                         "windows-1254",
                                         "windows-1255",
                                         "windows-1256",
                                         "windows-1257",
                                         "windows-1258",
                                         "windows-874",
                                         "Shift_JIS",
                                         "GBK",
                                         "Big5",
                                         "windows-949",
                                         "ISO-8859-1",
                                         "ISO-8859-2",
                                         "ISO-8859-5",
                                         "ISO-8859-15",
                                         "KOI8-R",
                                         "KOI8-U",
                                         "CP866"};
    for (const QByteArray& name : encodings) {
        QAction* a =
            m_encodingMenu->addAction(name.isEmpty() ? tr("Automatic") : QString::fromLatin1(name));
        a->setCheckable(true);
        a->setData(name);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, name] { ChooseEncoding(name); });
        if (name.isEmpty())
            m_encodingMenu->addSeparator();
    }
    connect(m_encodingMenu, &QMenu::aboutToShow, this, &TMainForm::UpdateActions);

    add(menuBar()->addMenu(QStringLiteral("&Help")), {m_helpCreditsAction, m_helpAboutAction});

    m_toolBar = addToolBar(QStringLiteral("ToolBar"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(24, 24));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolBar->toggleViewAction()->setEnabled(false); // only Options > Toolbar brings it back
    setContextMenuPolicy(Qt::NoContextMenu);
    QAction* const toolBarOrder[] = {m_fileNewAction,      m_fileOpenAction,
                                     m_fileSaveAction,     m_fileSaveAsAction,
                                     m_fileExitAction,     nullptr,
                                     m_editFindAction,     m_editAgainAction,
                                     m_nextLatinAction,    m_nextMissingAction,
                                     m_editCopyAction,     nullptr,
                                     m_setupFontAction,    m_showGridAction,
                                     m_showOriginalAction, nullptr,
                                     m_helpCreditsAction,  m_helpAboutAction};
    for (QAction* a : toolBarOrder) {
        if (a)
            m_toolBar->addAction(a);
        else
            m_toolBar->addSeparator();
    }
    // The filter, as the View menu chooses it; never a focus taker, like the buttons.
    m_toolBar->addSeparator();
    m_filterBox = new QComboBox(m_toolBar);
    m_filterBox->setObjectName(QStringLiteral("FilterBox"));
    m_filterBox->setToolTip(QStringLiteral("Phrases shown"));
    m_filterBox->setFocusPolicy(Qt::NoFocus);
    m_filterBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (QAction* a : m_filterGroup->actions())
        m_filterBox->addItem(a->iconText());
    connect(m_filterBox, &QComboBox::activated, this,
            [this](int i) { m_filterGroup->actions().at(i)->trigger(); });
    m_toolBar->addWidget(m_filterBox);
    // The last button hides the bar; it has no action of its own in the menus.
    auto* hide = new QToolButton(m_toolBar);
    hide->setObjectName(QStringLiteral("ToolBarButton"));
    hide->setIcon(ActionIcon("window-close", "hidetoolbar"));
    hide->setToolTip(QStringLiteral("Hide toolbar"));
    hide->setAutoRaise(true);
    connect(hide, &QToolButton::clicked, this, &TMainForm::ToolBarButtonClick);
    m_toolBar->addWidget(hide);
    // The grid is the window's one control with the keyboard focus; its arrow keys must keep
    // moving the cell whatever was clicked (the bar's overflow button included).
    for (QToolButton* button : m_toolBar->findChildren<QToolButton*>())
        button->setFocusPolicy(Qt::NoFocus);
}

void TMainForm::UpdateActions()
{
    if (!m_toolBar)
        return; // still being built
    const bool loaded = m_doc.IsDocumentLoaded();
    m_fileSaveAction->setEnabled(m_doc.Modified());
    m_fileSaveAsAction->setEnabled(loaded);
    m_fileReloadAction->setEnabled(loaded && !m_doc.TemplatePath().IsEmpty());
    m_editFindAction->setEnabled(loaded);
    m_editAgainAction->setEnabled(loaded && m_findForm && m_findForm->HasSearchText());
    m_nextLatinAction->setEnabled(loaded);
    m_nextMissingAction->setEnabled(loaded);
    m_nextProblemAction->setEnabled(loaded);
    m_editCopyAction->setEnabled(loaded);
    m_editUndoAction->setEnabled(m_history->CanUndo());
    m_editRedoAction->setEnabled(m_history->CanRedo());
    m_editCopyOriginalAction->setEnabled(loaded);
    m_editRemoveObsoleteAction->setEnabled(loaded && m_doc.Statistics().obsolete > 0);
    m_editDoneNextAction->setEnabled(loaded);
    m_viewDetailsAction->setChecked(!m_details->isHidden());
    m_viewSwitchPaneAction->setEnabled(!m_details->isHidden());
    m_showGridAction->setChecked(m_grid->GridLineWidth() != 0);
    m_showOriginalAction->setChecked(m_doc.ShowOriginal());
    m_templateLayoutAction->setChecked(m_doc.Layout() == SaveLayout::Template);
    m_keepLayoutAction->setChecked(m_doc.Layout() == SaveLayout::Lines);
    m_translationLayoutAction->setChecked(m_doc.Layout() == SaveLayout::Translation);
    m_viewToolBarAction->setChecked(!m_toolBar->isHidden());
    const QList<QAction*> filters = m_filterGroup->actions();
    for (int i = 0; i < filters.size(); ++i) {
        if (filters[i]->data().toInt() == int(m_model->Filter())) {
            filters[i]->setChecked(true);
            const QSignalBlocker quiet(m_filterBox);
            m_filterBox->setCurrentIndex(i);
        }
    }
    if (m_checksMenu) {
        for (QAction* a : m_checksMenu->actions())
            a->setChecked(m_model->Problems().Enabled().Contains(PhraseCheck(a->data().toInt())));
    }
    if (m_encodingMenu) {
        for (QAction* a : m_encodingMenu->actions())
            if (a->isCheckable())
                a->setChecked(a->data().toByteArray() == m_encodingName);
    }
}
