#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class TfrmTresorin;

// File › Import… and File › Export…: passwords brought in from another manager or a browser
// export, and the document written out for KeePassXC (CSV or KeePass 2 XML). The formats are the
// core's (document/ForeignImport.h, document/ForeignExport.h); this class asks the questions.
//
// An import goes into a new top-level group named after the file and marks the document modified;
// characters a document cannot hold are listed and replaced by "?" only when the user agrees. An
// export is plain text: the user is warned first, and a file it creates is readable by its owner
// alone. Both drop themselves when the document changed while a question was open.
class ImportExportCommands : public QObject
{
    Q_OBJECT
public:
    explicit ImportExportCommands(TfrmTresorin* window);

    void ImportCommand();
    void ExportCommand();

    // The file dialogs' filters, from the language table.
    static QStringList importFilters();
    static QStringList exportFilters();

private:
    TfrmTresorin* m_window;
};
