#pragma once
// What a save that never ended left on disk. A save that is killed (kill -9, a crash, a power
// cut) leaves the temporary file it was writing beside its target, or, when it wrote the file
// in place, a file cut part-way whose previous contents sit in a safety copy. A save holds a
// lock on these files while it runs, so a later run tells a save that was cut short from one
// that is still running, and touches only the former.
#include "fileio.h"

#include <QDateTime>
#include <vector>

/// A safety copy whose save did not end: the file it was taken of may be incomplete.
struct OrphanedSafetyCopy
{
    FilePath copy;         ///< the copy, in SafetyCopyFolder()
    FilePath target;       ///< the file it holds the previous contents of, by its full name
    qint64 copySize = 0;   ///< bytes in the copy
    qint64 targetSize = 0; ///< bytes in the file now; -1 when it is gone
    QDateTime madeAt;      ///< when the copy was made, which is when the save began
};

/// Removes the temporary files that saves of file left beside it and never renamed: those
/// named as this program names them, owned by the effective user, older than a few seconds and
/// not locked by a save still writing them. Returns how many went.
int RemoveStaleTemporaries(const FilePath& file);

/// Looks through the safety-copy folder for copies of the effective user that no running save
/// holds. A copy whose file is byte for byte what it holds (the save was cut before it wrote
/// anything) goes with its record, as does a record whose copy is gone; the others are
/// returned, oldest first, for the user to put back or discard.
std::vector<OrphanedSafetyCopy> FindOrphanedSafetyCopies();

/// Writes the copy's bytes back over its file (through WriteFileSafely), then removes the copy
/// and its record. Throws, keeping the copy, when it cannot be read or the file written, or a
/// save of it is running.
void PutBackSafetyCopy(const OrphanedSafetyCopy& orphan);

/// Removes the copy and its record, keeping the file as it is. Throws when a save holds the copy.
void DiscardSafetyCopy(const OrphanedSafetyCopy& orphan);
