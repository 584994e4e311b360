#pragma once

#include <QObject>
#include <QString>

class Commands;
class DocumentPipeline;
class DocumentState;
class DocumentView;
class FileCommands;
class FtpSync;
class TBoiteFTP;
class TBoiteInfo;
struct Settings;

// The FTP commands: Open on FTP and Save on FTP (the transfer runs in the FTP dialog), the
// document's synchronisation parameters, the FTP entry mark and the file properties. What they
// learn of the copy on the server goes to FtpSync, which keeps the document in step with it.
class FtpCommands : public QObject
{
    Q_OBJECT
public:
    FtpCommands(DocumentState& doc, DocumentPipeline& pipeline, DocumentView& view, Settings& settings,
                const Commands& commands, FileCommands& files, FtpSync& sync, TBoiteFTP& ftpDialog,
                TBoiteInfo& infoDialog, QObject* parent = nullptr);

    void ActionOuvrirFTPExecute();
    void ActionSauverFTPExecute();
    void ActionSynchroFTPExecute();
    void ActionSetFTPExecute();
    void ActionInfoFichExecute();

signals:
    // The tool bar is to follow FtpMode.
    void ftpModeChanged(bool ftpMode);
    // The window's title is to show `title` (the FTP copy just saved).
    void titleShown(const QString& title);

private:
    DocumentState& m_doc;
    DocumentPipeline& m_pipeline;
    DocumentView& m_view;
    Settings& m_settings;
    const Commands& m_commands;
    FileCommands& m_files;
    FtpSync& m_sync;
    TBoiteFTP& m_ftpDialog;
    TBoiteInfo& m_infoDialog;
};
