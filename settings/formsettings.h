#pragma once
#include "gridfont.h"
#include "recentfilelist.h"

#include <QByteArray>
#include <QRect>
#include <QString>

/// The key that holds the main window's settings, under the user's root.
inline constexpr char SettingsKeyPath[] = "Software\\Pellovant\\Quillmar";

/// What the stored settings are applied to and read back from: the main window.
class SettingsTarget
{
public:
    virtual ~SettingsTarget() = default;

    /// The bounds to store, in screen pixels; for a maximised window its maximised bounds.
    virtual QRect WindowBounds() const = 0;
    virtual void SetWindowTop(int top) = 0;
    virtual void SetWindowLeft(int left) = 0;
    virtual void SetWindowWidth(int width) = 0;
    virtual void SetWindowHeight(int height) = 0;

    virtual bool ToolBarVisible() const = 0;
    virtual void SetToolBarVisible(bool visible) = 0;

    virtual int GridLineWidth() const = 0;
    virtual void SetGridLineWidth(int width) = 0;

    virtual bool ShowOriginal() const = 0;
    virtual void SetShowOriginal(bool showOriginal) = 0;

    virtual GridFontSettings GridFont() const = 0;
    virtual void SetGridFont(const GridFontSettings& font) = 0;

    /// Whether saved phrase lines keep the template's layout. Stores without the value (those of
    /// earlier versions) leave it as it is.
    virtual bool KeepLayout() const { return false; }
    virtual void SetKeepLayout(bool keep) { Q_UNUSED(keep); }
    /// Whether saved translation files keep the translation file's own layout; read after
    /// KeepLayout, it wins over it. Stores without the value leave it as it is.
    virtual bool TranslationLayout() const { return false; }
    virtual void SetTranslationLayout(bool on) { Q_UNUSED(on); }

    /// The files opened last (File > Recent). Stores without them leave the list as it is.
    virtual RecentFileList RecentFiles() const { return {}; }
    virtual void SetRecentFiles(const RecentFileList& files) { Q_UNUSED(files); }

    /// Whether the details pane below the grid shows, and its height in pixels: 0 until it was
    /// first shown, and stored only from then on. Stores without them leave both as they are.
    virtual bool DetailsVisible() const { return false; }
    virtual void SetDetailsVisible(bool visible) { Q_UNUSED(visible); }
    virtual int DetailsHeight() const { return 0; }
    virtual void SetDetailsHeight(int height) { Q_UNUSED(height); }

    /// The checks of the translations turned off, their names joined by commas. Stores without
    /// the value leave every check on.
    virtual QString SkippedChecks() const { return {}; }
    virtual void SetSkippedChecks(const QString& names) { Q_UNUSED(names); }
};

/// Reads the stored settings and applies each one as soon as it is read. Nothing is applied when
/// the key does not exist. A value that cannot be read throws ERegistryException, with every
/// setting read before it applied and the later ones untouched. The recent files are read first
/// and never fail: a damaged list gives the entries that can still be read.
void LoadFormSettings(SettingsTarget& target);

/// Stores the settings, creating the key when needed; nothing is written when the key can be
/// neither opened nor created. A value that cannot be written throws ERegistryException
/// ("Failed to set data for '%s'"), with the values written before it stored.
void SaveFormSettings(const SettingsTarget& target);
