#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace varno::kestal {

// Hands files to the suite's other programs and to the text editor. (Folders and documents
// go to the desktop's own handlers through OpenOnDesktop, beside the windows.)

class Launcher {
public:
    // Starts a program detached with its arguments; true when it started.
    using Starter = std::function<bool(const QString& program, const QStringList& arguments)>;

    // programFolder: where the suite's programs live (the terminal's own folder).
    explicit Launcher(QString programFolder);

    QString programFolder() const { return m_programFolder; }

    // The outside programs ("convert", "brodmir") start only when registered or installed
    // beside the terminal, never from the search path.
    bool OpenStationStatistics(const QString& path) const;
    bool OpenInViewer(const QString& path) const;
    // Empty lists start nothing and fail. workingFolder "" keeps the terminal's folder.
    bool ViewFiles(const QStringList& paths) const;
    bool ConvertFiles(const QStringList& paths, const QString& workingFolder = QString()) const;
    bool PlotFiles(const QStringList& paths) const;
    // The desktop's text editor ("programs/texteditor" setting, else the text/plain handler).
    bool OpenInTextEditor(const QString& path) const;

    // Creates folder and its missing parents; an existing folder counts as success.
    static bool MakeFolderChain(const QString& folder);
    // Lets the user pick a folder; false when cancelled.
    static bool BrowseForFolder(const QString& title, QString& folder);

    // The editor start (tests record it); an empty function restores the default.
    static void SetEditorStarter(Starter starter);

private:
    bool launchList(const char* name, const char* file, const QStringList& paths,
                    const QString& workingFolder) const;
    QString defaultPath(const char* file) const;
    bool installed(const char* name, const char* file) const;

    QString m_programFolder;
};

} // namespace varno::kestal
