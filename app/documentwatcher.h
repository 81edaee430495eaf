#pragma once
#include <QObject>
#include <QString>

class PhraseDocument;
class QFileSystemWatcher;

/// Watches the files a document was read from and saved to, and says in one line when another
/// program changed or removed one of them since. The folders are watched too: a file replaced
/// by renaming (as editors and version control do) or created again loses its own watch.
class DocumentWatcher : public QObject
{
    Q_OBJECT
public:
    explicit DocumentWatcher(PhraseDocument& doc, QObject* parent = nullptr);

    /// What changed on disk, or empty.
    const QString& Notice() const { return m_notice; }
    /// Compares the files with what the document last read or wrote, and watches them anew.
    void Check();

signals:
    void NoticeChanged(const QString& notice);

private:
    void Rewatch();

    PhraseDocument& m_doc;
    QFileSystemWatcher* m_watcher;
    QString m_notice;
};
