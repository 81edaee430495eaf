#pragma once
#include "dialogseam.h"
#include "encodingdetect.h"
#include "errors.h"
#include "formsettings.h"
#include "phrasedocument.h"
#include "phrasefilter.h"
#include "textcodec.h"

#include <QMainWindow>
#include <functional>
#include <new>
#include <optional>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class PhraseTableModel;
class QSplitter;
class DetailsPane;
class EditHistory;
class TAboutForm;
class TCreditsForm;
class TFindForm;
class PhraseGrid;
class DocumentWatcher;
class ProgressStatus;

/// The main window: the phrase grid, its commands, menus, tool bar and status line. It owns the
/// one phrase document of the run and the encoding through which the grid shows its bytes.
/// Every command runs through Guarded(), which shows a failed command's error and carries on.
class TMainForm : public QMainWindow, public SettingsTarget
{
    Q_OBJECT
public:
    explicit TMainForm(DialogSeam& seam, QWidget* parent = nullptr);
    ~TMainForm() override;

    PhraseDocument& Document() { return m_doc; }
    PhraseGrid* DrawGrid() const { return m_grid; }
    PhraseTableModel* Model() const { return m_model; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QLabel* StatusLabel() const { return m_statusLabel; }
    QLabel* EncodingLabel() const { return m_encodingLabel; }
    /// How many phrases the checks find fault with, in the status line.
    QLabel* ProblemsLabel() const { return m_problemsLabel; }
    /// The translated share of the phrases and the unsaved-changes mark, right in the status line.
    ProgressStatus* Progress() const { return m_progress; }
    /// Tells when another program changed or removed the open files.
    QLabel* DiskLabel() const { return m_diskLabel; }
    DocumentWatcher* Watcher() const { return m_watcher; }
    /// The undo history of the open document; it keeps the document's unsaved-changes flag.
    EditHistory* History() const { return m_history; }
    /// The pane below the grid with the current phrase whole (View > Details pane).
    DetailsPane* Details() const { return m_details; }
    QSplitter* DetailsSplitter() const { return m_splitter; }
    TFindForm* FindForm() const { return m_findForm; }
    TAboutForm* AboutForm() const { return m_aboutForm; }
    TCreditsForm* CreditsForm() const { return m_creditsForm; }
    // Every command is one action, made once with the window; the object names are these.
    QAction* FileNewAction() const { return m_fileNewAction; }
    QAction* FileOpenAction() const { return m_fileOpenAction; }
    QAction* FileSaveAction() const { return m_fileSaveAction; }
    QAction* FileSaveAsAction() const { return m_fileSaveAsAction; }
    QAction* FileReloadAction() const { return m_fileReloadAction; }
    QAction* FileExitAction() const { return m_fileExitAction; }
    QAction* FileClearRecentAction() const { return m_fileClearRecentAction; }
    /// File > Recent files; its entries are made anew each time it opens (UpdateRecentMenu).
    QMenu* RecentMenu() const { return m_recentMenu; }
    QAction* EditFindAction() const { return m_editFindAction; }
    QAction* EditAgainAction() const { return m_editAgainAction; }
    QAction* NextLatinAction() const { return m_nextLatinAction; }
    QAction* NextMissingAction() const { return m_nextMissingAction; }
    /// Goes to the next shown phrase the checks find fault with.
    QAction* NextProblemAction() const { return m_nextProblemAction; }
    QAction* SetupFontAction() const { return m_setupFontAction; }
    QAction* ShowGridAction() const { return m_showGridAction; }
    QAction* HelpAboutAction() const { return m_helpAboutAction; }
    QAction* HelpCreditsAction() const { return m_helpCreditsAction; }
    QAction* ShowOriginalAction() const { return m_showOriginalAction; }
    QAction* ViewToolBarAction() const { return m_viewToolBarAction; }
    /// Options > Save layout: one radio action per SaveLayout, in LayoutGroup.
    QAction* TemplateLayoutAction() const { return m_templateLayoutAction; }
    QAction* KeepLayoutAction() const { return m_keepLayoutAction; }
    QAction* TranslationLayoutAction() const { return m_translationLayoutAction; }
    QActionGroup* LayoutGroup() const { return m_layoutGroup; }
    QAction* EditCopyAction() const { return m_editCopyAction; }
    QAction* EditUndoAction() const { return m_editUndoAction; }
    QAction* EditRedoAction() const { return m_editRedoAction; }
    QAction* EditCopyOriginalAction() const { return m_editCopyOriginalAction; }
    QAction* EditDoneNextAction() const { return m_editDoneNextAction; }
    QAction* EditRemoveObsoleteAction() const { return m_editRemoveObsoleteAction; }
    QAction* ViewDetailsAction() const { return m_viewDetailsAction; }
    QAction* ViewSwitchPaneAction() const { return m_viewSwitchPaneAction; }
    // View: one radio action per PhraseFilter, listed in FilterGroup's order.
    QAction* FilterAllAction() const { return m_filterAllAction; }
    QAction* FilterNeedsWorkAction() const { return m_filterNeedsWorkAction; }
    QAction* FilterMissingAction() const { return m_filterMissingAction; }
    QAction* FilterUntranslatedAction() const { return m_filterUntranslatedAction; }
    QAction* FilterTranslatedAction() const { return m_filterTranslatedAction; }
    QAction* FilterWithProblemsAction() const { return m_filterWithProblemsAction; }
    QAction* FilterObsoleteAction() const { return m_filterObsoleteAction; }
    QActionGroup* FilterGroup() const { return m_filterGroup; }
    /// The tool bar's choice of filter; it triggers the View menu's actions.
    QComboBox* FilterBox() const { return m_filterBox; }
    const TextCodec& Codec() const { return m_codec; }

    // --- document commands; the *Execute handlers may throw, their actions run them Guarded()
    /// Asks about unsaved changes and clears the document; false when the user cancels.
    bool ConfirmDiscard();
    /// The session's log-out asks about unsaved changes as closing does, when mayInteract
    /// (called only when there are any) grants leave to ask. False calls the log-out off. The
    /// document stays either way: the program ends after a log-out that goes through.
    bool LogOutQuery(const std::function<bool()>& mayInteract);
    bool LoadTemplate();
    bool LoadTranslation();
    bool SaveTranslation(bool askForName);
    void FileNewActionExecute();
    void FileOpenActionExecute();
    void FileSaveActionExecute();
    void FileSaveAsActionExecute();
    /// Reads the template and the translation again from disk, asking first when that drops
    /// unsaved changes.
    void FileReloadActionExecute();
    void FileExitActionExecute();

    // --- opening files named without a chooser: File > Recent files, the command line, a drop
    /// Reads the template and merges the translation, when there is one, with the errors and
    /// notices of Open, after the unsaved-changes question as Open asks it.
    void OpenNamedFiles(const FilePair& files);
    void FileClearRecentActionExecute();
    /// Lists the recent files in their menu, greyed where a file no longer exists.
    void UpdateRecentMenu();
    /// The files named on the command line, opened as the window starts; each failure is shown
    /// as Open shows it and the window stays.
    void OpenStartFiles(const FilePair& files);
    /// Offers to put back the files whose save in place was cut short (the program was killed
    /// while writing them), each from its safety copy; with a file named, only that file's.
    /// A copy the user keeps stays where the question said, for the next start to offer again.
    void OfferSafetyCopies(const FilePath& only = FilePath());

    // --- view commands
    void EditCopyActionExecute();
    /// The text Copy puts on the clipboard: the selected rectangle, TAB between cells, CR LF
    /// between rows, code parts as their code.
    QString SelectionText() const;
    void SetupFontActionExecute();
    void ShowGridActionExecute();
    void ShowOriginalActionExecute();
    /// The layout saved files take (SaveLayout): the template's lines in the fixed spelling,
    /// the template's lines each in its own spelling, or the translation file as read.
    void TemplateLayoutActionExecute();
    void KeepLayoutActionExecute();
    void TranslationLayoutActionExecute();
    void SetSaveLayout(SaveLayout layout);
    void ViewToolBarActionExecute();
    void ToolBarButtonClick();

    // --- search and navigation
    void EditFindActionExecute();
    void EditAgainActionExecute();
    void FindText(bool again);
    void GotoNextState(TranslationState state);

    // --- the checks of the translations (checkcommands.cpp)
    void NextProblemActionExecute();
    /// Options > Checks: one checkable entry per check, on while the check runs.
    QMenu* ChecksMenu() const { return m_checksMenu; }

    // --- the undo history and the edit commands (editcommands.cpp)
    /// Ends every open edit (the cell editor's, the details pane's): each becomes its step.
    void EndEdits();
    void EditUndoActionExecute();
    void EditRedoActionExecute();
    /// The current phrase's translation becomes its original text, as one step.
    void EditCopyOriginalActionExecute();
    /// Ends the edit and moves to the next shown phrase that is missing or untranslated.
    void EditDoneNextActionExecute();
    /// Takes the obsolete phrases out of the document, as one step of the history.
    void EditRemoveObsoleteActionExecute();

    // --- the details pane (detailscommands.cpp)
    void ViewDetailsActionExecute();
    /// Moves the keyboard focus between the grid and the pane's translation editor.
    void ViewSwitchPaneActionExecute();

    // --- the filter (filtercommands.cpp)
    /// Shows the phrases filter accepts. The current phrase stays current when it is shown,
    /// else the nearest shown phrase after it, else before it. Kept for the run, not stored.
    void SetPhraseFilter(PhraseFilter filter);

    void HelpAboutActionExecute();
    void HelpCreditsActionExecute();

    /// Applies every action's enable and check rule; runs whenever what the rules read changes.
    void UpdateActions();
    /// Chooses the encoding of the open document ("" for detection from the files) and
    /// re-decodes what is shown. The choice ends with the document: the next one is detected.
    void ChooseEncoding(const QByteArray& name);
    /// The encoding chosen for the open document; empty while it is detected.
    const QByteArray& ChosenEncoding() const { return m_encodingName; }

    // --- stored settings
    QRect WindowBounds() const override;
    void SetWindowTop(int top) override;
    void SetWindowLeft(int left) override;
    void SetWindowWidth(int width) override;
    void SetWindowHeight(int height) override;
    bool ToolBarVisible() const override;
    void SetToolBarVisible(bool visible) override;
    int GridLineWidth() const override;
    void SetGridLineWidth(int width) override;
    bool ShowOriginal() const override;
    void SetShowOriginal(bool showOriginal) override;
    GridFontSettings GridFont() const override;
    void SetGridFont(const GridFontSettings& font) override;
    bool KeepLayout() const override { return m_doc.KeepLayout(); }
    void SetKeepLayout(bool keep) override;
    bool TranslationLayout() const override { return m_doc.Layout() == SaveLayout::Translation; }
    void SetTranslationLayout(bool on) override;
    RecentFileList RecentFiles() const override { return m_recentFiles; }
    void SetRecentFiles(const RecentFileList& files) override { m_recentFiles = files; }
    bool DetailsVisible() const override;
    void SetDetailsVisible(bool visible) override;
    int DetailsHeight() const override;
    void SetDetailsHeight(int height) override;
    QString SkippedChecks() const override;
    void SetSkippedChecks(const QString& names) override;

    /// Runs a command; an error it raises is shown in the error box and the program goes on.
    /// Returns false when the command failed.
    template <class F> bool Guarded(F&& command)
    {
        try {
            command();
            return true;
        } catch (const Exception& e) {
            ShowError(e.Message());
        } catch (const std::bad_alloc&) {
            ShowOutOfMemory();
        } catch (const std::exception& e) {
            ShowError(QString::fromLocal8Bit(e.what()));
        }
        return false;
    }
    void ShowError(const QString& message);
    void ShowOutOfMemory();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenusAndToolBar();
    void ConnectDocument();
    /// Holds the phrase being edited in the filtered rows and keeps the current phrase through
    /// a change of the rows.
    void ConnectFilter();
    /// Makes row, in column, the current cell and shows it.
    void SetCurrentCell(int row, int column);
    /// Edits hold their phrase's row; an undo or redo shows its phrase even where the filter
    /// hides it, until the current cell leaves it.
    void ConnectHistory();
    void ConnectDetails();
    void ConnectChecks();
    void CreateChecksMenu(QMenu* options);
    /// Ends phrase's hold on its row once the view is done with what ended it, unless an edit
    /// or an undo holds it again by then.
    void ReleaseLater(int phrase);
    /// The phrase of the current row, or -1.
    int CurrentPhrase() const;
    void ApplyDetailsHeight();
    void ShowRefusedCharacter(QWidget* editor, const QString& character);
    void OnTemplateLoaded();
    /// Puts the open files first in the recent list once they were read or saved.
    void RememberOpenFiles();
    /// Reads one file as Open reads what its chooser gave.
    void ReadTemplate(const FilePath& path);
    void ReadTranslation(const FilePath& path);
    /// Both files of a pair, the unsaved-changes question asked.
    void OpenFiles(const FilePair& files);
    void ApplyGridFont();
    void ApplyCodec();
    DocumentEncoding DetectedEncoding() const;
    /// Says once per opened translation that its encoding differs from its template's.
    void NoticeMismatch(const DocumentEncoding& detected);
    bool FormCloseQuery();
    /// Asks whether to save unsaved changes and saves on Yes; false when the user cancels or
    /// the save fails. Leaves the document as it is.
    bool AskAboutUnsavedChanges();
    /// A chosen name the system cannot spell as text would name another file: refused.
    template <class Error> static void RefuseUnrepresentableName(const QString& path);
    /// Asks before a save to target would overwrite the template, a read-only file, a file
    /// this document never read (unless the save chooser asked already), bytes not read, or
    /// another program's changes; false when the user says no.
    bool MayOverwriteTranslation(const FilePath& target, bool chooserConfirmed);
    /// Takes outer bounds read from the settings; they wait until the frame is known.
    void SetStoredBounds(const QRect& outer);
    /// Applies the waiting outer bounds once the window manager has framed the shown window.
    void ApplyStoredBounds();

    DialogSeam& m_seam;
    PhraseDocument m_doc;
    // The grid's model and delegate read this one object; a new encoding is assigned into it.
    TextCodec m_codec;
    QByteArray m_encodingName; // chosen for the open document; "" = detected from the files
    // The translation whose differing encoding was last reported, so a reload or a new choice
    // does not report it again; cleared with the document.
    QByteArray m_noticedMismatch;

    PhraseTableModel* m_model = nullptr;
    PhraseGrid* m_grid = nullptr;
    EditHistory* m_history = nullptr;
    QSplitter* m_splitter = nullptr; // the grid above, the details pane below
    DetailsPane* m_details = nullptr;
    // The pane's height while it is hidden, and the one to give it when shown; 0 until it was
    // first shown, so a user who never shows it stores no values for it.
    int m_detailsHeight = 0;
    // The phrase an undo or redo showed although the filter hides it, or -1.
    int m_revealedPhrase = -1;
    // The current cell's phrase and column while the obsolete phrases are taken out or put back.
    int m_obsoleteKeptPhrase = -1;
    int m_obsoleteKeptColumn = -1;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_statusLabel = nullptr;
    QLabel* m_encodingLabel = nullptr;
    QLabel* m_problemsLabel = nullptr;
    QLabel* m_diskLabel = nullptr;
    ProgressStatus* m_progress = nullptr;
    // The actions, owned by the window (Qt parent).
    QAction* m_fileNewAction = nullptr;
    QAction* m_fileOpenAction = nullptr;
    QAction* m_fileSaveAction = nullptr;
    QAction* m_fileSaveAsAction = nullptr;
    QAction* m_fileReloadAction = nullptr;
    QAction* m_fileExitAction = nullptr;
    QAction* m_fileClearRecentAction = nullptr;
    QAction* m_editFindAction = nullptr;
    QAction* m_editAgainAction = nullptr;
    QAction* m_nextLatinAction = nullptr;
    QAction* m_nextMissingAction = nullptr;
    QAction* m_nextProblemAction = nullptr;
    QAction* m_setupFontAction = nullptr;
    QAction* m_showGridAction = nullptr;
    QAction* m_helpAboutAction = nullptr;
    QAction* m_helpCreditsAction = nullptr;
    QAction* m_showOriginalAction = nullptr;
    QAction* m_viewToolBarAction = nullptr;
    QAction* m_templateLayoutAction = nullptr;
    QAction* m_keepLayoutAction = nullptr;
    QAction* m_translationLayoutAction = nullptr;
    QActionGroup* m_layoutGroup = nullptr;
    QAction* m_editCopyAction = nullptr;
    QAction* m_editUndoAction = nullptr;
    QAction* m_editRedoAction = nullptr;
    QAction* m_editCopyOriginalAction = nullptr;
    QAction* m_editDoneNextAction = nullptr;
    QAction* m_editRemoveObsoleteAction = nullptr;
    QAction* m_viewDetailsAction = nullptr;
    QAction* m_viewSwitchPaneAction = nullptr;
    QAction* m_filterAllAction = nullptr;
    QAction* m_filterNeedsWorkAction = nullptr;
    QAction* m_filterMissingAction = nullptr;
    QAction* m_filterUntranslatedAction = nullptr;
    QAction* m_filterTranslatedAction = nullptr;
    QAction* m_filterWithProblemsAction = nullptr;
    QAction* m_filterObsoleteAction = nullptr;
    QActionGroup* m_filterGroup = nullptr;
    QComboBox* m_filterBox = nullptr;
    // The current cell's phrase and column while the filtered rows are made anew.
    int m_refilterPhrase = -1;
    int m_refilterColumn = -1;
    DocumentWatcher* m_watcher = nullptr;
    QMenu* m_encodingMenu = nullptr;
    QMenu* m_checksMenu = nullptr;
    QMenu* m_recentMenu = nullptr;
    RecentFileList m_recentFiles;
    GridFontSettings m_gridFont;

    FileChooserOptions m_templateDialog;
    FileChooserOptions m_translateDialog;
    FileChooserOptions m_saveAsDialog;

    // Children of the window, made once at start-up and destroyed with it.
    TFindForm* m_findForm = nullptr;
    TAboutForm* m_aboutForm = nullptr;
    TCreditsForm* m_creditsForm = nullptr;
    // Stored bounds are outer bounds, but the frame is known only once the window manager has
    // framed the shown window: until then they stand as the inner geometry and wait here, to be
    // applied once with the frame taken off.
    std::optional<QRect> m_storedBounds;
};
