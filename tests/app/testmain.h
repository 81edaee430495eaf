#pragma once
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// Runs a widget test with its own settings store, so no test reads or writes the user's.
#define QUILLMAR_GUI_TEST_MAIN(TestClass)                                                          \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        QTemporaryDir config;                                                                      \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));                              \
        QApplication app(argc, argv);                                                              \
        QApplication::setOrganizationName(QStringLiteral("Pellovant"));                            \
        QApplication::setApplicationName(QStringLiteral("Quillmar"));                              \
        TestClass test;                                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
