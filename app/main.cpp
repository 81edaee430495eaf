#include "mainform.h"
#include "qtdialogseam.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Pellovant"));
    QApplication::setApplicationName(QStringLiteral("Quillmar"));
    QtDialogSeam seam;
    TMainForm mainForm(seam);
    seam.SetParent(&mainForm); // choosers open over the main window
    mainForm.show();
    return app.exec();
}
