#pragma once
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QtDebug>

#include <functional>

/// Runs step once the next modal dialog has opened, inside its event loop. The step is meant to
/// close the dialog; should it return early (a failed check) with the dialog still open, the
/// dialog is rejected, so a failing test ends instead of waiting for a user.
inline void WhenModal(std::function<void(QWidget*)> step)
{
    QTimer::singleShot(0, qApp, [step = std::move(step)] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        step(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal.data()); dialog && dialog->isVisible()) {
            qWarning("modal dialog left open by the test step; rejecting it");
            dialog->reject();
        }
    });
}
