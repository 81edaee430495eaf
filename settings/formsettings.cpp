#include "formsettings.h"
#include "regformat.h"
#include "registry.h"

namespace {

// The recent files, an optional value: stores of earlier versions and of users who never opened
// a file have none.
const QString RecentFilesName = QStringLiteral("RecentFiles");

// The details pane, optional values too: written once the pane was first shown.
const QString DetailsVisibleName = QStringLiteral("DetailsVisible");
const QString DetailsHeightName = QStringLiteral("DetailsHeight");
const QString SkippedChecksName = QStringLiteral("SkippedChecks");
// The translation's own layout for saved files, an optional value beside KeepLayout (which
// earlier versions read as the only choice of layout).
const QString TranslationLayoutName = QStringLiteral("TranslationLayout");

// A face name holds at most 31 characters.
constexpr qsizetype FaceNameLength = 31;

// Fonts are changed one field at a time, so a value that fails to read leaves the fields read
// before it in place.
template <typename Change> void ChangeGridFont(SettingsTarget& target, Change change)
{
    GridFontSettings font = target.GridFont();
    change(font);
    target.SetGridFont(font);
}

// Only the values of this list are read from the settings file; anything else in it (another
// version's values, a damaged or hostile file's) is dropped as it is read instead of being held
// in memory and written back at every save. "Encoding", stored by earlier versions, is kept.
void ReadOnlyUsedValues()
{
    static const bool restricted = [] {
        ReadOnlyRegValues(QString::fromLatin1(SettingsKeyPath), {QStringLiteral("Top"),
                                                                 QStringLiteral("Left"),
                                                                 QStringLiteral("Width"),
                                                                 QStringLiteral("Height"),
                                                                 QStringLiteral("ToolBar"),
                                                                 QStringLiteral("GridLine"),
                                                                 QStringLiteral("ShowKeys"),
                                                                 QStringLiteral("FontName"),
                                                                 QStringLiteral("FontChar"),
                                                                 QStringLiteral("FontColor"),
                                                                 QStringLiteral("FontPitch"),
                                                                 QStringLiteral("FontSize"),
                                                                 QStringLiteral("FontStyleBold"),
                                                                 QStringLiteral("FontStyleItalic"),
                                                                 QStringLiteral("FontStyleUnder"),
                                                                 QStringLiteral("FontStyleStrike"),
                                                                 QStringLiteral("KeepLayout"),
                                                                 TranslationLayoutName,
                                                                 RecentFilesName,
                                                                 DetailsVisibleName,
                                                                 DetailsHeightName,
                                                                 SkippedChecksName,
                                                                 QStringLiteral("Encoding")});
        return true;
    }();
    Q_UNUSED(restricted);
}

} // namespace

void LoadFormSettings(SettingsTarget& target)
{
    ReadOnlyUsedValues();
    TRegistry registry; // closes the key also when a read throws
    if (!registry.OpenKeyReadOnly(QString::fromLatin1(SettingsKeyPath)))
        return;

    // Read before the values that can fail, so that a damaged one elsewhere does not lose the
    // list (the next save would store it empty). A value of another type holds no list.
    if (registry.ValueExists(RecentFilesName)) {
        try {
            target.SetRecentFiles(RecentFileList::FromStored(registry.ReadString(RecentFilesName)));
        } catch (const ERegistryException&) {
        }
    }

    // Stored values are screen pixels and are passed on as they are, off-screen ones too (the
    // window brings bounds that are off every screen back onto one).
    target.SetWindowTop(registry.ReadInteger(QStringLiteral("Top")));
    target.SetWindowLeft(registry.ReadInteger(QStringLiteral("Left")));
    target.SetWindowWidth(registry.ReadInteger(QStringLiteral("Width")));
    target.SetWindowHeight(registry.ReadInteger(QStringLiteral("Height")));
    target.SetToolBarVisible(registry.ReadBool(QStringLiteral("ToolBar")));
    target.SetGridLineWidth(registry.ReadInteger(QStringLiteral("GridLine")));
    target.SetShowOriginal(!registry.ReadBool(QStringLiteral("ShowKeys")));

    const QByteArray name = registry.ReadString(QStringLiteral("FontName"));
    if (!name.isEmpty())
        ChangeGridFont(target,
                       [&](GridFontSettings& font) { font.name = name.left(FaceNameLength); });
    const int charset = registry.ReadInteger(QStringLiteral("FontChar"));
    ChangeGridFont(target, [&](GridFontSettings& font) { font.charset = charset & 0xFF; });
    const int color = registry.ReadInteger(QStringLiteral("FontColor"));
    ChangeGridFont(target, [&](GridFontSettings& font) { font.color = quint32(color); });
    const int pitch = registry.ReadInteger(QStringLiteral("FontPitch"));
    ChangeGridFont(target, [&](GridFontSettings& font) { font.pitch = pitch & 0xFF; });
    const int size = registry.ReadInteger(QStringLiteral("FontSize"));
    ChangeGridFont(target, [&](GridFontSettings& font) { font.size = size; });
    const bool bold = registry.ReadBool(QStringLiteral("FontStyleBold"));
    ChangeGridFont(target, [&](GridFontSettings& font) { font.bold = bold; });
    const bool italic = registry.ReadBool(QStringLiteral("FontStyleItalic"));
    ChangeGridFont(target, [&](GridFontSettings& font) { font.italic = italic; });
    const bool underline = registry.ReadBool(QStringLiteral("FontStyleUnder"));
    ChangeGridFont(target, [&](GridFontSettings& font) { font.underline = underline; });
    const bool strikeOut = registry.ReadBool(QStringLiteral("FontStyleStrike"));
    ChangeGridFont(target, [&](GridFontSettings& font) { font.strikeOut = strikeOut; });

    if (registry.ValueExists(QStringLiteral("KeepLayout")))
        target.SetKeepLayout(registry.ReadBool(QStringLiteral("KeepLayout")));
    if (registry.ValueExists(TranslationLayoutName))
        target.SetTranslationLayout(registry.ReadBool(TranslationLayoutName));

    // The height first: a pane shown from the settings takes it at once.
    if (registry.ValueExists(DetailsHeightName))
        target.SetDetailsHeight(registry.ReadInteger(DetailsHeightName));
    if (registry.ValueExists(DetailsVisibleName))
        target.SetDetailsVisible(registry.ReadBool(DetailsVisibleName));
    if (registry.ValueExists(SkippedChecksName))
        target.SetSkippedChecks(QString::fromUtf8(registry.ReadString(SkippedChecksName)));

    // An "Encoding" value, stored by earlier versions, is not read: a chosen encoding holds for
    // its document only, and every file opened later is detected afresh.
}

void SaveFormSettings(const SettingsTarget& target)
{
    ReadOnlyUsedValues();
    TRegistry registry; // closes the key also when a write throws
    if (!registry.OpenKey(QString::fromLatin1(SettingsKeyPath), true))
        return;

    const QRect bounds = target.WindowBounds();
    registry.WriteInteger(QStringLiteral("Top"), bounds.top());
    registry.WriteInteger(QStringLiteral("Left"), bounds.left());
    registry.WriteInteger(QStringLiteral("Width"), bounds.width());
    registry.WriteInteger(QStringLiteral("Height"), bounds.height());
    registry.WriteBool(QStringLiteral("ToolBar"), target.ToolBarVisible());
    registry.WriteInteger(QStringLiteral("GridLine"), target.GridLineWidth());
    registry.WriteBool(QStringLiteral("ShowKeys"), !target.ShowOriginal());

    const GridFontSettings font = target.GridFont();
    registry.WriteString(QStringLiteral("FontName"), font.name);
    // The character set and the pitch are byte-sized fields of a font.
    registry.WriteInteger(QStringLiteral("FontChar"), font.charset & 0xFF);
    registry.WriteInteger(QStringLiteral("FontColor"), int(font.color));
    registry.WriteInteger(QStringLiteral("FontPitch"), font.pitch & 0xFF);
    registry.WriteInteger(QStringLiteral("FontSize"), font.size);
    registry.WriteBool(QStringLiteral("FontStyleBold"), font.bold);
    registry.WriteBool(QStringLiteral("FontStyleItalic"), font.italic);
    registry.WriteBool(QStringLiteral("FontStyleUnder"), font.underline);
    registry.WriteBool(QStringLiteral("FontStyleStrike"), font.strikeOut);
    // Written once it was ever turned on, so the settings of a user who never touches it stay
    // the sixteen values they always were.
    if (target.KeepLayout() || registry.ValueExists(QStringLiteral("KeepLayout")))
        registry.WriteBool(QStringLiteral("KeepLayout"), target.KeepLayout());
    if (target.TranslationLayout() || registry.ValueExists(TranslationLayoutName))
        registry.WriteBool(TranslationLayoutName, target.TranslationLayout());
    // Likewise once a file was ever opened; a cleared list is stored empty.
    const RecentFileList recent = target.RecentFiles();
    if (!recent.IsEmpty() || registry.ValueExists(RecentFilesName))
        registry.WriteString(RecentFilesName, recent.ToStored());
    // And once the details pane was ever shown.
    if (target.DetailsHeight() > 0 || registry.ValueExists(DetailsVisibleName)) {
        registry.WriteBool(DetailsVisibleName, target.DetailsVisible());
        registry.WriteInteger(DetailsHeightName, target.DetailsHeight());
    }
    // And once a check was ever turned off; turned on again, the list is stored empty.
    const QString skipped = target.SkippedChecks();
    if (!skipped.isEmpty() || registry.ValueExists(SkippedChecksName))
        registry.WriteString(SkippedChecksName, skipped.toUtf8());
}
