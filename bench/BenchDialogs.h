#pragma once
// The dialog seam for window benchmarks: the open dialog answers with one preset file, every
// question with No, and anything shown is reported on stderr.

#include "Dialogs.h"

#include <QString>

#include <cstdio>
#include <optional>

class BenchDialogs : public Dialogs {
public:
    QString file;
    Answer Ask(QWidget*, const QString& text, const QString&, Answer) override
    {
        std::fprintf(stderr, "unexpected question: %s\n", qPrintable(text));
        return Answer::Cancel;
    }
    Answer AskYesNo(QWidget*, const QString& text, const QString&, Answer) override
    {
        std::fprintf(stderr, "unexpected question: %s\n", qPrintable(text));
        return Answer::No;
    }
    void ShowError(QWidget*, const QString& text, const QString&) override
    {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
    }
    void ShowStop(QWidget*, const QString& text, const QString&) override
    {
        std::fprintf(stderr, "stop: %s\n", qPrintable(text));
    }
    std::optional<QString> OpenFile(QWidget*, FileDialogSpec&) override { return file; }
    std::optional<QString> SaveFile(QWidget*, FileDialogSpec&) override { return std::nullopt; }
    void ShowModal(QDialog*) override {}
};
